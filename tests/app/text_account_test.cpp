#include "quorvix_app/text_account.h"

#include <gtest/gtest.h>
#include <qrx_unicode/unicode.h>

#include <array>
#include <random>
#include <string>
#include <vector>

namespace quorvix::app {
namespace {

// A text in the tests' notation: "|" at the caret and, for a selection, "^" at its anchor.
struct Told {
  std::string text;
  std::size_t cursor = 0;
  std::size_t anchor = SIZE_MAX;

  TextReport report() const { return {text, cursor, anchor}; }
};

Told told(std::string_view marked) {
  Told out;
  for (const char32_t c : qrx_unicode::decode_utf8(marked)) {
    const auto at = qrx_unicode::char_count(out.text);
    if (c == U'|') {
      out.cursor = at;
    } else if (c == U'^') {
      out.anchor = at;
    } else {
      out.text += qrx_unicode::encode_utf8(c);
    }
  }
  if (out.anchor == SIZE_MAX) out.anchor = out.cursor;
  return out;
}

// What the expectation keeps, in the same notation, after the number of characters before it.
std::string shown(const Expectation& known) {
  std::string out = std::to_string(known.origin.chars) + ":";
  for (std::size_t byte = 0; byte <= known.near.size(); ++byte) {
    if (byte == known.anchor.byte && known.anchor.byte != known.cursor.byte) out += "^";
    if (byte == known.cursor.byte) out += "|";
    if (byte < known.near.size()) out += known.near[byte];
  }
  return out;
}

// Drives an account as the field does: the field's edits at the caret recorded before they are
// sent, and the application's reports looked at as they come.
class Field {
 public:
  // "?" for a field that has told nothing.
  explicit Field(std::string_view document) : untold_(document == "?") {
    if (!untold_) {
      told_ = told(document);
      account.current(told_.report());
    }
  }

  // "+x": the field writes x at the caret; "-n": it deletes the n characters before the caret;
  // "!": it lets a key through; "=text": the application tells that text.
  void step(const std::string& step) {
    const std::string_view rest = std::string_view(step).substr(1);
    if (step[0] == '=') {
      told_ = told(rest);
      untold_ = false;
      account.reportArrived(told_.report());
      return;
    }
    if (step[0] == '!') return account.forget();
    const auto* known = untold_ ? account.expectationWhileTextUntold() : account.current(told_.report());
    ASSERT_NE(known, nullptr) << step;
    if (step[0] == '+') {
      account.next().insert(rest);
      return;
    }
    const auto caret = known->cursor.chars;
    account.next().erase(caret - std::stoul(std::string(rest)), caret);
  }

  // What a read of the field finds now; "-" when it knows nothing.
  std::string reads() {
    const auto* known = account.current(told_.report());
    return known ? shown(*known) : "-";
  }
  const Told& lastTold() const { return told_; }

  TextAccount account;

 private:
  bool untold_;
  Told told_;
};

// An application that applies the field's edits in order and tells its text late: a report of a
// text the field held after one of its edits is a late one, and the field goes on from its newest.
// A text it has never held is the application's own change, and so is, once the application told
// every edit, a text it held before.
TEST(TextAccount, TellsLateReportsFromTheApplicationsOwnChanges) {
  struct Case {
    const char* name;
    const char* start;
    std::vector<std::string> steps;
    const char* reads;
  };
  const Case cases[] = {
      {"no report since", "ab|", {"+x", "+y"}, "0:abxy|"},
      {"a late report of the first of two edits", "ab|", {"+x", "+y", "=abx|"}, "0:abxy|"},
      {"a report of every edit", "ab|", {"+x", "+y", "=abxy|"}, "0:abxy|"},
      {"late reports in order", "ab|", {"+x", "+y", "+z", "=abx|", "=abxy|"}, "0:abxyz|"},
      {"a late report of a text between a deletion and its commit", "abc|", {"-1", "+ĉ", "=ab|"}, "0:abĉ|"},
      {"an older text than the last report, not yet caught up",
       "ab|",
       {"+x", "+y", "+z", "=abxy|", "=abx|"},
       "0:abxyz|"},
      {"a text never held", "ab|", {"+x", "+y", "=q|"}, "0:q|"},
      {"a text never held, of the same length", "ab|", {"+x", "=abq|"}, "0:abq|"},
      {"the caret elsewhere in a text held", "ab|", {"+x", "=a|bx"}, "0:a|bx"},
      {"the text before the field's edits", "ab|", {"+x", "+y", "=ab|"}, "0:ab|"},
      {"an older text once every edit was told", "ab|", {"+x", "+y", "=abxy|", "=abx|"}, "0:abx|"},
      {"the text before the edits once every edit was told", "ab|", {"+x", "=abx|", "=ab|"}, "0:ab|"},
      {"edits after a real change go on from it", "ab|", {"+x", "=q|", "+r"}, "0:qr|"},
      {"a selection typed over", "a^bc|d", {"+x", "=a^bc|d"}, "0:a^bc|d"},
      {"a selection typed over, told", "a^bc|d", {"+x", "=ax|d"}, "0:ax|d"},
      {"a selection typed over, caret first", "a|bc^d", {"+x", "+y"}, "0:axy|d"},
      {"a deletion across a surrogate pair", "a😀b|", {"-2", "=a|"}, "0:a|"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Field field(c.start);
    for (const auto& step : c.steps) field.step(step);
    EXPECT_EQ(field.reads(), c.reads);
  }
}

// A report the field cannot tell from one of what the application holds now is taken as it is: the
// application may have taken back what the field wrote, and a text the field believes longer than
// it is would have the field delete the application's characters. So is, after the field let a key
// through with edits outstanding, the report Fcitx5 still holds: it predates those edits.
TEST(TextAccount, BelievesNoOlderTextThanTheApplicationsAfterATakeBackOrAKeyLetThrough) {
  struct Case {
    const char* name;
    const char* start;  // "?": the field has told nothing
    std::vector<std::string> steps;
    const char* reads;  // "-": the field knows nothing
  };
  const Case cases[] = {
      {"the text told last told again, edits outstanding", "ab|", {"+d", "-1", "+đ", "+u", "=ab|"}, "0:ab|"},
      {"the text told last told again, caught up", "ab|", {"+x", "=abx|", "=abx|"}, "0:abx|"},
      {"the text told last told again after a late report", "ab|", {"+x", "+y", "=abx|", "=abx|"}, "0:abx|"},
      {"a key let through, nothing outstanding", "ab|", {"!"}, "0:ab|"},
      {"a key let through, an edit outstanding", "ab|", {"+x", "!"}, "-"},
      {"a key let through, then a late report", "ab|", {"+x", "+y", "!", "=abx|"}, "-"},
      {"a key let through, then a report of the newest", "ab|", {"+x", "!", "=abx|"}, "0:abx|"},
      {"a key let through, then a text never held", "ab|", {"+x", "!", "=q|"}, "0:q|"},
      {"a key let through, then the text told last", "ab|", {"+x", "!", "=ab|"}, "0:ab|"},
      {"a key let through, then edits go on from a report", "ab|", {"+x", "!", "=abx|", "+y"}, "0:abxy|"},
      {"an untold field, then a late report", "?", {"+x", "+y", "=x|"}, "0:xy|"},
      {"an untold field, then a report of an empty text", "?", {"+x", "=|"}, "0:|"},
      {"an untold field, then the empty text between a deletion and its commit",
       "?",
       {"+d", "-1", "+đ", "=|"},
       "0:|"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Field field(c.start);
    for (const auto& step : c.steps) field.step(step);
    EXPECT_EQ(field.reads(), c.reads);
  }
}

// Only the part of the text around the caret is kept: 64 characters before the selection and 8
// after it, however long the text grows; typing far beyond that drops the front.
TEST(TextAccount, KeepsAWindowAroundTheCaret) {
  const auto repeat = [](std::string_view piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
  };
  struct Case {
    const char* name;
    std::string start;
    std::string typed;  // one commit per character
    std::string reads;
  };
  const Case cases[] = {
      {"a short text whole", "abc|de", "", "0:abc|de"},
      {"long before the caret", repeat("a", 200) + "|bc", "", "136:" + repeat("a", 64) + "|bc"},
      {"long after the caret", "ab|" + repeat("c", 20), "", "0:ab|" + repeat("c", 8)},
      {"long on both sides, in characters", repeat("ệ", 100) + "|" + repeat("😀", 20), "",
       "36:" + repeat("ệ", 64) + "|" + repeat("😀", 8)},
      {"a selection's both ends", repeat("a", 70) + "^" + repeat("b", 10) + "|" + repeat("c", 10), "",
       "6:" + repeat("a", 64) + "^" + repeat("b", 10) + "|" + repeat("c", 8)},
      {"typed up to twice the window", "|", repeat("x", 128), "0:" + repeat("x", 128) + "|"},
      {"typed beyond twice the window", "|", repeat("x", 129), "65:" + repeat("x", 64) + "|"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Field field(c.start);
    for (const char32_t typed : qrx_unicode::decode_utf8(c.typed)) field.step("+" + qrx_unicode::encode_utf8(typed));
    EXPECT_EQ(field.reads(), c.reads);
  }
}

// A read before what is kept takes its characters from a report, and only from one that tells the
// newest expectation: after an edit not yet told, the report has older characters there.
TEST(TextAccount, ReachesBackIntoAReportOfTheNewestText) {
  const std::string before(200, 'a');
  struct Case {
    const char* name;
    std::vector<std::string> steps;
    std::int64_t units;
    bool reached;
    std::size_t origin;
  };
  const Case cases[] = {
      {"within what is kept", {}, 150, true, 136},
      {"before it", {}, 100, true, 100},
      {"at least half a window further", {}, 130, true, 104},
      {"to the start of the text", {}, 0, true, 0},
      {"after an edit not told yet", {"+x"}, 100, false, 136},
      {"after an edit told since", {"+x", "=" + before + "x|b"}, 100, true, 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Field field(before + "|b");
    for (const auto& step : c.steps) field.step(step);
    field.reads();
    EXPECT_EQ(field.account.reachBackTo(field.lastTold().report(), c.units), c.reached);
    const auto& known = *field.account.current(field.lastTold().report());
    EXPECT_EQ(known.origin.chars, c.origin);
    // What it keeps reads as the report does from there.
    if (c.reached) {
      EXPECT_EQ(known.near.substr(0, known.cursor.byte),
                field.lastTold().text.substr(known.origin.byte, known.cursor.byte));
    }
  }
}

// A place in `near` by characters or by UTF-16 units: a unit inside a surrogate pair rounds to the
// pair's end or its start as asked.
TEST(TextAccount, FindsCharacterBoundariesByCharactersAndUnits) {
  Field field("a😀ệ|b");
  const auto& known = *field.account.current(field.lastTold().report());
  struct Case {
    std::int64_t units;
    bool roundUp;
    std::size_t byte;
    std::size_t chars;
  };
  const Case cases[] = {{0, false, 0, 0}, {1, false, 1, 1}, {2, false, 1, 1}, {2, true, 5, 2},
                        {3, false, 5, 2}, {4, true, 8, 3},  {5, true, 9, 4},  {9, true, 9, 4}};
  for (const auto& c : cases) {
    const auto at = known.atUnit(c.units, c.roundUp);
    EXPECT_EQ(at.byte, c.byte) << c.units << " " << c.roundUp;
    EXPECT_EQ(at.chars, c.chars) << c.units << " " << c.roundUp;
    EXPECT_EQ(known.atChar(c.chars).byte, c.byte) << c.units;
  }
}

// A report of text the field expects is read by comparing the bytes around the caret, a windowed
// one aligned on its caret; any other is taken whole. On random texts, edited at the caret and
// told whole, as a window, or changed near the caret, what the account reads after a report is
// what an account that takes that report whole reads: the caret's place in the report, the
// selection, the text's length and end, and the characters around the caret.
TEST(TextAccount, ReadsAReportAsAnAccountThatTakesItWholeDoes) {
  constexpr std::array<std::u32string_view, 7> kPieces{U"a", U"b", U" ", U"é", U"ệ", U"😀", U"\u0301"};
  struct Document {
    std::u32string text;
    std::size_t cursor = 0;
    std::size_t anchor = 0;
  };
  struct Report {
    std::string text;
    std::size_t cursor = 0;
    std::size_t anchor = 0;
    TextReport view() const { return {text, cursor, anchor}; }
  };
  // The part of the document from `from` to `to` characters around the selection, as told.
  const auto told = [](const Document& doc, std::size_t before, std::size_t after) {
    const auto first = std::min(doc.cursor, doc.anchor), last = std::max(doc.cursor, doc.anchor);
    const auto from = first - std::min(first, before), to = last + std::min(doc.text.size() - last, after);
    return Report{qrx_unicode::encode_utf8(doc.text.substr(from, to - from)), doc.cursor - from,
                  doc.anchor - from};
  };
  // Where a reading puts the caret and the anchor in the report, and what it holds around them.
  struct Reading {
    std::size_t caretChars, caretByte, anchorChars, size;
    std::int64_t caretUnits;
    bool endsText;
    bool operator==(const Reading&) const = default;
  };
  const auto reading = [](const Expectation& known) {
    return Reading{known.origin.chars + known.cursor.chars, known.origin.byte + known.cursor.byte,
                   known.origin.chars + known.anchor.chars, known.size,
                   known.origin.units + known.cursor.units, known.endsText};
  };
  std::mt19937 random(20240611);
  const auto below = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  const auto randomText = [&](std::size_t length) {
    std::u32string out;
    for (std::size_t i = 0; i < length; ++i) out += kPieces[below(kPieces.size())];
    return out;
  };
  int fast = 0;
  for (int round = 0; round < 3000; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    Document doc{randomText(below(160))};
    doc.cursor = doc.anchor = below(doc.text.size() + 1);
    if (below(5) == 0) doc.anchor = below(doc.text.size() + 1);
    const bool windows = below(2) == 0;
    const auto tell = [&](const Document& d) {
      return windows ? told(d, 1 + below(70), 1 + below(70)) : told(d, SIZE_MAX, SIZE_MAX);
    };
    const Report first = tell(doc);
    TextAccount account;
    account.current(first.view());
    // The field's edits at the caret, the account's and the document's.
    for (std::size_t edits = below(4); edits-- > 0;) {
      const auto& known = *account.current(first.view());
      const auto start = std::min(doc.cursor, doc.anchor);
      if (below(3) == 0 && doc.cursor == doc.anchor && known.cursor.chars > 0) {
        const auto count = 1 + below(std::min<std::size_t>(known.cursor.chars, 3));
        const auto caret = known.cursor.chars;
        account.next().erase(caret - count, caret);
        doc.text.erase(start - count, count);
        doc.cursor = doc.anchor = start - count;

      } else {
        const auto typed = randomText(1 + below(3));
        account.next().insert(qrx_unicode::encode_utf8(typed));
        doc.text.replace(start, std::max(doc.cursor, doc.anchor) - start, typed);
        doc.cursor = doc.anchor = start + typed.size();
      }
    }
    // What the application tells next: the text as the field expects it, or changed.
    Document next = doc;
    const auto change = below(6);
    if (change == 1 && !next.text.empty()) {
      next.text[std::min(below(next.text.size()), next.text.size() - 1)] = U'x';
    } else if (change == 2) {
      next.text.insert(next.cursor, 1, U'é');
    } else if (change == 3 && next.cursor > 0) {
      next.cursor = next.anchor = next.cursor - 1;
    } else if (change == 4) {
      next.text = randomText(below(40));
      next.cursor = next.anchor = below(next.text.size() + 1);
    }
    const Report report = tell(next);
    account.reportArrived(report.view());
    const auto* read = account.current(report.view());
    ASSERT_NE(read, nullptr);
    TextAccount whole;
    const auto& taken = *whole.current(report.view());
    EXPECT_EQ(reading(*read), reading(taken)) << report.text;
    // The characters both keep on either side of the caret.
    const auto before = std::min(read->cursor.byte, taken.cursor.byte);
    const auto after = std::min(read->near.size() - read->cursor.byte, taken.near.size() - taken.cursor.byte);
    EXPECT_EQ(read->near.substr(read->cursor.byte - before, before + after),
              taken.near.substr(taken.cursor.byte - before, before + after));
    fast += read->near.size() != taken.near.size() || read->origin.byte != taken.origin.byte;
  }
  // Most rounds were read the fast way, not all alike.
  EXPECT_GT(fast, 100);
}

}  // namespace
}  // namespace quorvix::app
