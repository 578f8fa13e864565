/* A host built against an installed Quorvix: it must compile as C99 from the installed header
** and run against the installed library alone. */
#include <quorvix.h>

#include <stdio.h>
#include <string.h>

int main(void) {
  const char* keys[] = {"v", "i", "e", "e", "t", "j", " "};
  QrxAction action;
  QrxSession* session;
  size_t i;

  if (strcmp(qrx_version(), "0.1.2") != 0) {
    fprintf(stderr, "version %s\n", qrx_version());
    return 1;
  }
  session = qrx_session_new("{\"input_method\":\"telex\"}", 0);
  if (session == NULL) {
    fprintf(stderr, "no session\n");
    return 1;
  }
  for (i = 0; i < sizeof keys / sizeof keys[0]; ++i)
    action = qrx_process_key(session, keys[i], false, false, false);
  if (action.kind != 3 || action.insert == NULL || strcmp(action.insert, "vi\xE1\xBB\x87t ") != 0) {
    fprintf(stderr, "typing gave kind %u\n", (unsigned)action.kind);
    qrx_session_free(session);
    return 1;
  }
  qrx_session_free(session);
  printf("typed vi\xE1\xBB\x87t\n");
  return 0;
}
