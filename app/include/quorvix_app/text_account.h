// A text field's account of the focused application's text. Applications apply the field's edits
// in order but tell their text late, so the field keeps what it expects the text to be after each
// of its edits and of the keys it let through, reads from that, and believes a report only when it
// tells none of those expectations. Only the part of the text around the caret is kept.
//
// Pure bookkeeping over texts and positions: a report is the text an application told, with its
// caret and anchor in characters, whatever framework carried it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix::app {

// What an application told of its text: UTF-8 (checked by whoever carried it), with the caret and
// the other end of the selection counted in characters from the start of the text.
struct TextReport {
  std::string_view text;
  std::size_t cursor = 0;
  std::size_t anchor = 0;
};

// A place in UTF-8 text, counted three ways.
struct TextPosition {
  std::size_t byte = 0;
  std::size_t chars = 0;
  std::int64_t units = 0;

  TextPosition operator+(const TextPosition& other) const {
    return {byte + other.byte, chars + other.chars, units + other.units};
  }
  TextPosition operator-(const TextPosition& other) const {
    return {byte - other.byte, chars - other.chars, units - other.units};
  }
};

// Steps over one character. Every text here is UTF-8 that the framework checked or that the engine
// wrote, so a character is its lead byte and the continuation bytes after it.
void stepForward(std::string_view text, TextPosition& at);
void stepBack(std::string_view text, TextPosition& at);

// The application's text as the field expects it after some of its edits: a part of it around
// the selection (`near`, which starts at `origin`), the selection's ends in that part, and the
// whole text's length in bytes. Edits at the caret change only that part.
struct Expectation {
  std::string near;
  TextPosition origin;
  TextPosition cursor;
  TextPosition anchor;
  std::size_t size = 0;
  // Whether the text ends where `near` does: it holds fewer characters after the selection than it
  // keeps.
  bool endsText = true;
  // Where the last read began. The text client reads the same distance before the caret at every
  // key, and edits at the caret leave what is before them where it is, so the next read starts
  // walking from there rather than from the caret.
  mutable TextPosition lastRead;

  // Whether an application's report tells exactly this text: the same length, caret and anchor,
  // and the same characters around the selection. A report is never walked whole for this.
  bool toldBy(const TextReport& report) const;

  // The selection's ends in `near`, or the caret's.
  TextPosition start() const { return cursor.byte < anchor.byte ? cursor : anchor; }
  TextPosition end() const { return cursor.byte < anchor.byte ? anchor : cursor; }

  // The character boundary `chars` characters into `near` (or its end).
  TextPosition atChar(std::size_t chars) const;
  // The character boundary at `units` in `near`, or next to it when `units` falls inside a
  // surrogate pair: after the pair with `roundUp`, else before it.
  TextPosition atUnit(std::int64_t units, bool roundUp) const;

  // Characters [first, last) of `near` deleted: what the application does with a deletion.
  void erase(std::size_t first, std::size_t last);
  // `text` in place of the selection, the caret after it: what the application does with a commit.
  void insert(std::string_view text);
  // Takes the text from a report: the part around the selection is found by walking the report
  // once, from its start to the selection.
  void takeFrom(const TextReport& report);
  // Whether a report that tells only a part of the text around its caret (a window that moves
  // with the caret) tells this text there: the same characters on both sides of the caret, the
  // selection as long. If so, this text is counted in the report's frame from now on. Only `near`
  // is walked, and of the report no more than it tells before what `near` holds.
  bool alignWith(const TextReport& report);
  // Reads the characters before `origin` from a report that tells this text, until the origin
  // lies at `units` or before.
  void reachBackTo(const TextReport& report, std::int64_t units);

 private:
  // Whether `near` holds as many characters after the selection as it keeps.
  bool keepsAllItMayAfter() const;
  // Text typed far beyond the origin is dropped from the front, so that what is kept and copied
  // stays small however long the field's text grows.
  void keepNearTheCaret();
  // The known place nearest to `target` in the count `by`: the start of `near`, an end of the
  // selection, or where the last read began.
  template <class Count>
  TextPosition nearestTo(Count target, Count TextPosition::*by) const;
};

// The field's account of the application's text: what the field expects it to be after each of
// its recent edits and of the keys it let through, the newest last. The application applies them
// in order but tells its text late, so a report may tell any of these expectations: such a report
// is stale, and the field goes on from the newest. A report that tells none of them is a real
// change of the application's (the user clicked elsewhere, the application edited its text): it
// is taken as it is, and what was expected before is forgotten.
// The application's reports come in order. Once one tells the newest expectation, the application
// has applied every edit up to there, so a later report of that text or of an older one is no late
// report: the application took text back of its own accord (its undo, a word deleted with the
// mouse), and that is a real change too.
class TextAccount {
 public:
  TextAccount();

  // The expectation to read and to edit, checked against the application's report when that is
  // one not looked at yet; absent while the field knows nothing of what the application holds.
  Expectation* current(const TextReport& report);

  // A report the application has just sent. Each one is looked at as it comes, even one that
  // reads as the last: it may come back to that text after a change of its own. Without an
  // expectation to go on from, the next read takes the report as it is.
  void reportArrived(const TextReport& report);

  // The expectation to record edits on while the application does not tell its text: the text
  // it held when it last told it, or an empty one; absent while the field knows nothing.
  Expectation* expectationWhileTextUntold();

  // Whether there is an expectation to go on from.
  bool knows() const { return count_ > 0 && !waiting_; }

  // The application did what the field cannot foresee (a key let through, a caret moved): what it
  // holds is known again from its next report. The report the framework holds is taken as it is,
  // unless edits of the field's are outstanding: it predates them, and only a report of the newest
  // expectation or of a text the field never expected tells what the application holds.
  void forget();

  // A new expectation, a copy of the newest, for the caller to apply its edit to.
  Expectation& next();

  // Makes the newest expectation reach back to `units`, reading the characters before its origin
  // from the report; only a report that tells that very expectation has the right ones.
  bool reachBackTo(const TextReport& report, std::int64_t units);

 private:
  // Goes on from the newest expectation if the report is a late one or agrees with it, else takes
  // the report as a real change.
  void lookAt(const TextReport& report);
  // Takes the report as a real change: what was expected before is forgotten.
  void takeAsItIs(const TextReport& report);
  // Looks for the expectation a report tells among those the application may still be behind,
  // newest first, and remembers the report.
  bool isStaleOrAgrees(const TextReport& report);
  bool toldByOlder(const TextReport& report, std::size_t pending) const;
  bool toldByLastReport(const TextReport& report) const;
  const Expectation& at(std::size_t age) const;
  Expectation& push();

  std::vector<Expectation> ring_;
  std::size_t newest_ = 0;
  std::size_t count_ = 0;
  // How many expectations there have been, the newest's number, and the number of the newest one
  // the application is known to have caught up with.
  std::uint64_t serial_ = 0;
  std::uint64_t caughtUp_ = 0;
  // The number of the expectation the last report looked at told: a report that tells the same is
  // no news. None once that expectation is forgotten.
  std::uint64_t lastReport_ = 0;
  bool forgotten_ = false;
  // Whether the field forgot what the application holds while edits of its own were outstanding,
  // and no report has told it since.
  bool waiting_ = false;
  // Whether the latest report tells the newest expectation (no edit since).
  bool newestTold_ = false;
};

}  // namespace quorvix::app
