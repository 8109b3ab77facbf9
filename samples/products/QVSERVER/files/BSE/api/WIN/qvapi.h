/* Marrowvale server API, Windows clients. */
#ifndef QVAPI_H
#define QVAPI_H
int __stdcall qv_connect(const char *server, int port);
int __stdcall qv_call(int session, const char *request, char *reply, int size);
void __stdcall qv_disconnect(int session);
#endif
