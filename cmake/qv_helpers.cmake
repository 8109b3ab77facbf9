# qv_add_gtest(NAME <name> SOURCES <files...> LIBS <targets...>)
# Builds a GoogleTest program and registers it with CTest. In the Windows build the
# test runs through Wine (CMAKE_CROSSCOMPILING_EMULATOR), with bin/ as its working
# directory so that it finds the project's DLLs beside it.
function(qv_add_gtest)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT 600)
  if(WIN32)
    target_sources(${T_NAME} PRIVATE ${QV_STRINGS_RC})
    set_source_files_properties(${QV_STRINGS_RC} TARGET_DIRECTORY ${T_NAME} PROPERTIES OBJECT_DEPENDS
                                "${QV_STRINGS_DEPENDS}")
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "QV_WINEPREFIX=${QV_WINEPREFIX};QV_WINEARCH=${QV_WINEARCH}")
  endif()
endfunction()

# The Wine prefix of this build tree; scripts/wine-run creates it on first use.
set(QV_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(QV_WINEARCH win64)
else()
  set(QV_WINEARCH win32)
endif()
