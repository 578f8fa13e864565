/* The interface as a C host sees it: the header compiles as C99, the records have the layout
** every host binds to, and a session can be driven from C against the shared library. */
#include <quorvix.h>

#include <stddef.h>
#include <stdio.h>
#include <string.h>

static int passed = 0;
static int failed = 0;

static void check(int ok, const char* what, int line) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    fprintf(stderr, "line %d: %s\n", line, what);
  }
}
#define CHECK(expr) check((expr) != 0, #expr, __LINE__)

static int text_is(const char* text, const char* expected) {
  return text != NULL && strcmp(text, expected) == 0;
}

static int all_zero(const void* record, size_t size) {
  const unsigned char* bytes = (const unsigned char*)record;
  size_t i;
  for (i = 0; i < size; ++i) {
    if (bytes[i] != 0) return 0;
  }
  return 1;
}

static void test_layout(void) {
  CHECK(sizeof(bool) == 1);
  CHECK(offsetof(QrxAction, kind) == 0);
  CHECK(offsetof(QrxAction, delete_before_utf16) == 4);
  CHECK(offsetof(QrxAction, cursor_utf16) == 8);
  CHECK(offsetof(QrxAction, pass_key) == 12);
  CHECK(offsetof(QrxPlan, kind) == 0);
  CHECK(offsetof(QrxPlan, delete_utf16) == 4);
  CHECK(offsetof(QrxPlan, delete_chars) == 8);
  CHECK(offsetof(QrxPlan, cursor_utf16) == 12);
  CHECK(offsetof(QrxPlan, wait_ms) == 16);
  CHECK(offsetof(QrxPlan, pass_key) == 20);
  if (sizeof(void*) == 8) {
    CHECK(offsetof(QrxAction, insert) == 16);
    CHECK(sizeof(QrxAction) == 24);
    CHECK(offsetof(QrxPlan, text) == 24);
    CHECK(sizeof(QrxPlan) == 32);
  }
}

/* The named values are the numbers the records and functions carry. */
static void test_named_values(void) {
  CHECK(QRX_ACTION_PASS == 0 && QRX_ACTION_PREEDIT == 1 && QRX_ACTION_REPLACE == 2 && QRX_ACTION_COMMIT == 3);
  CHECK(QRX_PLAN_PASS == 0 && QRX_PLAN_PREEDIT == 1 && QRX_PLAN_COMMIT == 2 && QRX_PLAN_REPLACE == 3);
  CHECK(QRX_PLAN_FAIL_SAFE == 4);
  CHECK(QRX_OUTPUT_PREEDIT == 0 && QRX_OUTPUT_REPLACE == 1);
  CHECK(QRX_PROFILE_OUTPUT_NOT_SET == 0 && QRX_PROFILE_OUTPUT_PREEDIT == 1 &&
        QRX_PROFILE_OUTPUT_REPLACE == 2);
  CHECK(QRX_FIELD_NORMAL == 0 && QRX_FIELD_PASS_THROUGH == 1 && QRX_FIELD_RESTRICTED == 4);
  CHECK(QRX_REPLACE_FALLBACK_NONE == 0 && QRX_REPLACE_FALLBACK_WITH_SURROUNDING == 1);
  CHECK(QRX_REPLACE_FALLBACK_ALWAYS == 2);
}

/* The records come back by value and by pointer across the C calling convention. */
static void test_typing(void) {
  const char* keys[] = {"v", "i", "e", "e", "t", "j"};
  QrxSession* session = qrx_session_new(NULL, QRX_OUTPUT_PREEDIT);
  QrxAction action;
  QrxPlan plan;
  size_t i;
  CHECK(session != NULL);
  if (session == NULL) return;

  for (i = 0; i < sizeof keys / sizeof keys[0]; ++i)
    action = qrx_process_key(session, keys[i], false, false, false);
  CHECK(action.kind == QRX_ACTION_PREEDIT);
  CHECK(text_is(action.insert, "vi\xE1\xBB\x87t"));
  CHECK(action.cursor_utf16 == 4);
  CHECK(qrx_plan_action_with_fallback(session, &action, QRX_FIELD_NORMAL, "vi\xC3\xAAt", NULL, 0, 0, false,
                                      QRX_REPLACE_FALLBACK_WITH_SURROUNDING, &plan));
  CHECK(plan.kind == QRX_PLAN_PREEDIT);
  CHECK(plan.cursor_utf16 == 4);
  CHECK(text_is(plan.text, "vi\xE1\xBB\x87t"));

  action = qrx_process_key(session, " ", false, false, false);
  CHECK(action.kind == QRX_ACTION_COMMIT && !action.pass_key);
  action = qrx_process_key(session, "Shift", false, false, false);
  CHECK(all_zero(&action, sizeof action));

  qrx_set_output_mode(session, QRX_OUTPUT_REPLACE);
  qrx_set_surrounding_text(session, "vi\xE1\xBB\x87t a");
  action = qrx_process_key(session, "s", false, false, false);
  CHECK(action.kind == QRX_ACTION_REPLACE);
  CHECK(action.delete_before_utf16 == 1);
  CHECK(text_is(action.insert, "\xC3\xA1"));
  CHECK(qrx_plan_action(session, &action, QRX_FIELD_NORMAL, "a", "vi\xE1\xBB\x87t a", 6, 6, false, &plan));
  CHECK(plan.kind == QRX_PLAN_REPLACE);
  CHECK(plan.delete_utf16 == 1);
  CHECK(plan.delete_chars == 1);
  CHECK(plan.wait_ms == 3);
  CHECK(qrx_is_enabled(session));
  qrx_session_free(session);
}

static void test_process_wide(void) {
  CHECK(text_is(qrx_version(), "0.1.2"));
  CHECK(qrx_char_to_utf16_offset("\xF0\x9F\x98\x80", 1) == 2);
  CHECK(qrx_utf16_to_byte_offset("\xF0\x9F\x98\x80", 1) == 0xFFFFFFFFu);
  CHECK(!qrx_is_word_codepoint(0xD800));
  qrx_session_free(NULL);
}

int main(void) {
  test_layout();
  test_named_values();
  test_typing();
  test_process_wide();
  printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
