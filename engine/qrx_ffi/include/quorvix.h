/*
** Quorvix: a Vietnamese typing engine behind a plain C interface.
**
** A host creates one session per text field, feeds it one key at a time and gets back an
** action: let the key through, show marked (pre-edit) text, replace text before the caret, or
** commit text. A planner turns an action plus what the host knows of the field into an edit
** plan counted in UTF-16 units.
**
** Strings going in are NUL-terminated UTF-8; invalid sequences are read as U+FFFD and the host's
** buffer is never kept. Strings coming out are NUL-terminated UTF-8 owned by the session (or,
** for qrx_charset_list and qrx_version, by the process): copy them at once and never free them.
** A returned pointer stays valid until the next call that refills the same output slot, or until
** the session is freed; the slot each function uses is named in its comment.
**
** No error code or message crosses this interface. A null session, a null argument the function
** does not accept, or an internal fault gives the function's neutral result: the all-zero
** action, NULL, false, 0, or 0xFFFFFFFF for the offset conversions. An internal fault also
** drops the word being composed; the session stays usable.
**
** A session must be used by one thread at a time. Different sessions may be used on different
** threads; the offset, code point, charset-list and version functions may be called from any
** thread.
*/
#ifndef QUORVIX_H
#define QUORVIX_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define QRX_API
#elif defined(__GNUC__)
#define QRX_API __attribute__((visibility("default")))
#else
#define QRX_API
#endif

/* No function lets an exception escape; C++ hosts may rely on it. */
#ifdef __cplusplus
#define QRX_NOEXCEPT noexcept
#else
#define QRX_NOEXCEPT
#endif

/* A typing session for one text field. Opaque. */
typedef struct QrxSession QrxSession;

/* What a session asks its host to do after a key. All zero bytes is the pass action. */
typedef struct QrxAction {
  uint32_t kind;                /* 0 pass, 1 preedit, 2 replace, 3 commit */
  uint32_t delete_before_utf16; /* replace: UTF-16 units to delete before the caret */
  uint32_t cursor_utf16;        /* preedit: caret inside the pre-edit text, in UTF-16 units */
  bool pass_key;                /* replace, commit: deliver the key itself afterwards */
  const char *insert;           /* pre-edit, replacement or committed text; NULL for pass */
} QrxAction;

/* An edit plan for the host's text field. Note that commit and replace are numbered the
** other way round than in QrxAction. */
typedef struct QrxPlan {
  uint32_t kind;         /* 0 pass, 1 preedit, 2 commit, 3 replace, 4 fail-safe */
  uint32_t delete_utf16; /* UTF-16 units to delete before the caret */
  uint32_t delete_chars; /* the same deletion counted in characters */
  uint32_t cursor_utf16; /* preedit: caret inside the pre-edit text, in UTF-16 units */
  uint32_t wait_ms;      /* milliseconds to wait after a replace before the next edit */
  bool pass_key;         /* deliver the key itself after the edit */
  const char *text;      /* text of the plan, NULL when it is empty */
} QrxPlan;

/* ---- Sessions ------------------------------------------------------------------------- */

/* Creates a session from configuration JSON (NULL for the defaults) in replace mode when
** `mode` is 1, preedit mode otherwise. Returns NULL when the configuration is rejected.
** Free it with qrx_session_free. */
QRX_API QrxSession *qrx_session_new(const char *config_json, uint32_t mode) QRX_NOEXCEPT;

/* Destroys a session and every string it returned. NULL is ignored. */
QRX_API void qrx_session_free(QrxSession *session) QRX_NOEXCEPT;

/* ---- Keys and session state (actions use the session's action slot) ------------------- */

/* Feeds one key: a single character ("a", "ư", " ") or a key name ("Backspace", "Enter",
** "Escape", "Tab", "Left", "Right", "Up", "Down", "Home", "End", "Delete", "PageUp",
** "PageDown"); a modifier name ("Shift", "Command", ...) stands for a modifier pressed alone and
** any other text for another key. A NULL name gives the pass action. */
QRX_API QrxAction qrx_process_key(QrxSession *session, const char *key, bool ctrl, bool alt, bool meta) QRX_NOEXCEPT;

/* Feeds one character key. A code point that is not a Unicode scalar value (or is 0) gives the
** pass action without touching the session. */
QRX_API QrxAction qrx_process_char(QrxSession *session, uint32_t code_point, bool ctrl, bool alt, bool meta) QRX_NOEXCEPT;

/* Ends the word being composed; returns its commit in preedit mode. */
QRX_API QrxAction qrx_flush(QrxSession *session) QRX_NOEXCEPT;

/* Tells the session the caret moved; ends the word being composed. */
QRX_API QrxAction qrx_cursor_moved(QrxSession *session) QRX_NOEXCEPT;

/* Tells the session which application has focus (bundle identifier, NULL for none); ends the
** word and re-resolves the application's profile and whether Vietnamese is on. */
QRX_API QrxAction qrx_focus_changed(QrxSession *session, const char *app_id) QRX_NOEXCEPT;

/* Turns Vietnamese on or off for the current application; ends the word. */
QRX_API QrxAction qrx_toggle_vietnamese(QrxSession *session) QRX_NOEXCEPT;

/* Sets the kind of the focused field: 0 and 5 normal, 1 to 3 pass everything, 4 restricted;
** 6 and above count as 0. Ends the word. */
QRX_API QrxAction qrx_set_field_kind(QrxSession *session, uint32_t field_kind) QRX_NOEXCEPT;

/* Selects replace mode when `mode` is 1, preedit mode otherwise. Ends the word. */
QRX_API QrxAction qrx_set_output_mode(QrxSession *session, uint32_t mode) QRX_NOEXCEPT;

/* Gives the session the text before the caret (NULL when unknown); kept until replaced. */
QRX_API void qrx_set_surrounding_text(QrxSession *session, const char *text_before_caret) QRX_NOEXCEPT;

/* Drops the word being composed without any output. */
QRX_API void qrx_reset(QrxSession *session) QRX_NOEXCEPT;

/* The word being composed, in the configured Unicode form ("" when none). Display slot. */
QRX_API const char *qrx_display_text(QrxSession *session) QRX_NOEXCEPT;

/* Whether Vietnamese typing is on. */
QRX_API bool qrx_is_enabled(QrxSession *session) QRX_NOEXCEPT;

/* The focused application's profile: backspace delay and delay per character in milliseconds,
** output mode (0 not set, 1 preedit, 2 replace) and whether the host waits for acknowledgement. */
QRX_API uint32_t qrx_profile_backspace_delay_ms(QrxSession *session) QRX_NOEXCEPT;
QRX_API uint32_t qrx_profile_delay_per_char_ms(QrxSession *session) QRX_NOEXCEPT;
QRX_API uint32_t qrx_profile_output_mode(QrxSession *session) QRX_NOEXCEPT;
QRX_API bool qrx_profile_wait_ack(QrxSession *session) QRX_NOEXCEPT;

/* ---- Edit plans (plan texts use the plan slot) ----------------------------------------- */

/* Turns `action` into an edit plan for a field of kind `field_kind`, given the display text
** from before the key (NULL for none), the text before the caret (NULL when unknown), the caret
** and selection anchor in UTF-16 units, and whether a replacement may go ahead unverified.
** A replacement deletes only the session's own text: for the replacement the last key returned,
** what the session wrote before the caret (the word as shown and, for a phrase macro, the words
** of its key); for any other action, the display text. When the text before the caret is given,
** all of that own text must stand there unchanged, or the plan is fail-safe (4).
** Writes `*plan` and returns true; returns false and leaves `*plan` alone when `action` or
** `plan` is NULL or the action's kind is unknown. */
QRX_API bool qrx_plan_action(QrxSession *session, const QrxAction *action, uint32_t field_kind,
                             const char *display_text, const char *surrounding_text, uint32_t caret_utf16,
                             uint32_t anchor_utf16, bool allow_unverified_replace, QrxPlan *plan) QRX_NOEXCEPT;

/* As qrx_plan_action, with a replace fallback for a replacement that fails safe: 0 none, 1 none
** either (the surrounding text given decides), 2 an unverified replacement of the own text when
** no surrounding text is given. A fallback above 2 returns false. */
QRX_API bool qrx_plan_action_with_fallback(QrxSession *session, const QrxAction *action, uint32_t field_kind,
                                           const char *display_text, const char *surrounding_text,
                                           uint32_t caret_utf16, uint32_t anchor_utf16,
                                           bool allow_unverified_replace, uint32_t replace_fallback,
                                           QrxPlan *plan) QRX_NOEXCEPT;

/* ---- Configuration (JSON slot) --------------------------------------------------------- */

/* The session's configuration as compact JSON ("" if it cannot be written). JSON slot. */
QRX_API const char *qrx_config_json(QrxSession *session) QRX_NOEXCEPT;

/* Applies a JSON object naming only the keys to change, then reloads the session (a pending
** word's commit is discarded). Returns false and changes nothing when the patch is rejected. */
QRX_API bool qrx_set_config_json(QrxSession *session, const char *patch_json) QRX_NOEXCEPT;

/* As qrx_set_config_json, but writes the reload's action (the commit of a pending word) to
** `*action` when `action` is not NULL. */
QRX_API bool qrx_apply_config_json(QrxSession *session, const char *patch_json, QrxAction *action) QRX_NOEXCEPT;

/* How many times the session saved its configuration itself (patches do not count). */
QRX_API uint64_t qrx_config_version(QrxSession *session) QRX_NOEXCEPT;

/* The focused application's resolved profile as compact JSON. JSON slot. */
QRX_API const char *qrx_app_profile_json(QrxSession *session) QRX_NOEXCEPT;

/* ---- Dictionaries (private to the session once changed) -------------------------------- */

/* Replaces the English and/or Vietnamese word lists with the white-space separated words of
** each text; a NULL text leaves its list as it was. */
QRX_API void qrx_load_dictionary(QrxSession *session, const char *english_words, const char *vietnamese_words) QRX_NOEXCEPT;

/* Adds white-space separated words to the Vietnamese list (`vietnamese` true) or the English one. */
QRX_API void qrx_add_dictionary_words(QrxSession *session, const char *words, bool vietnamese) QRX_NOEXCEPT;

/* ---- Charsets (charset slot, byte buffer) ------------------------------------------------ */

/* Converts Unicode text into a charset's text form / a charset's text form into Unicode.
** Unknown charset names mean "unicode". Returns NULL on NULL arguments. Charset slot. */
QRX_API const char *qrx_charset_encode(QrxSession *session, const char *charset, const char *text) QRX_NOEXCEPT;
QRX_API const char *qrx_charset_decode(QrxSession *session, const char *charset, const char *text) QRX_NOEXCEPT;

/* Encodes Unicode text as the charset's bytes (not NUL-terminated; may contain 0) and writes
** their count to `*length` when `length` is not NULL. Returns NULL, leaving `*length` alone,
** when the charset has no byte form for the text. Valid until the next call of this function. */
QRX_API const uint8_t *qrx_charset_encode_bytes(QrxSession *session, const char *charset, const char *text,
                                                size_t *length) QRX_NOEXCEPT;

/* Decodes `length` bytes in a charset into Unicode text. Returns NULL on NULL arguments and
** when the bytes cannot be represented as a C string. Charset slot. */
QRX_API const char *qrx_charset_decode_bytes(QrxSession *session, const char *charset, const uint8_t *bytes,
                                             size_t length) QRX_NOEXCEPT;

/* One line per charset: identifier, tab, display name, line feed. Owned by the process. */
QRX_API const char *qrx_charset_list(void) QRX_NOEXCEPT;

/* ---- Offsets and characters (no session) -------------------------------------------------- */

/* Converts an offset in `text` from characters to UTF-8 bytes, from characters to UTF-16
** units, or from UTF-16 units to UTF-8 bytes. Returns 0xFFFFFFFF for a NULL or invalid UTF-8
** text, an offset beyond the end, or a UTF-16 offset inside a surrogate pair. */
QRX_API uint32_t qrx_char_to_byte_offset(const char *text, uint32_t char_offset) QRX_NOEXCEPT;
QRX_API uint32_t qrx_char_to_utf16_offset(const char *text, uint32_t char_offset) QRX_NOEXCEPT;
QRX_API uint32_t qrx_utf16_to_byte_offset(const char *text, uint32_t utf16_offset) QRX_NOEXCEPT;

/* Whether a code point belongs to a word (letters, marks, digits, the underscore, ...);
** false for values that are not Unicode scalar values. */
QRX_API bool qrx_is_word_codepoint(uint32_t code_point) QRX_NOEXCEPT;

/* The interface version, "0.1.2". Owned by the process. */
QRX_API const char *qrx_version(void) QRX_NOEXCEPT;

#ifdef __cplusplus
}
#endif

#endif /* QUORVIX_H */
