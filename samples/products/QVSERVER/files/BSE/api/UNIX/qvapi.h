/* Marrowvale server API, UNIX clients. */
#ifndef QVAPI_H
#define QVAPI_H
int qv_connect(const char *server, int port);
int qv_call(int session, const char *request, char *reply, int size);
void qv_disconnect(int session);
#endif
