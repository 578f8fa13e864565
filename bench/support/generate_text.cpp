// Writes the benchmarks' Vietnamese text and the keys that type it in Telex and in VNI.
//
// The words are the syllables the syllable model accepts, each with every tone it may carry,
// kept only when both methods type them back exactly. They are drawn in a fixed pseudo-random
// order (half by a Zipf law over a shuffled ranking, as in real prose, half uniformly, so that
// every word occurs), grouped into sentences with a capital first letter, some capitalised
// names, commas, sentence ends and paragraph breaks. The same run always writes the same files.
//
// usage: generate_text OUT_DIR WORDS
#include <qrx_core/rules.h>
#include <qrx_core/transform.h>
#include <qrx_unicode/unicode.h>
#include <vi_syllable/vi_syllable.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <vector>

namespace {

using qrx_core::transform::TypingOptions;

// splitmix64: the same sequence on every platform, unlike the standard distributions.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

 private:
  std::uint64_t state_;
};

struct Word {
  std::string text;
  std::string telex;
  std::string vni;
};

std::string keys_of(const std::string& word, const qrx_core::rules::InputMethodSpec& spec) {
  const auto keys = qrx_core::transform::rebuild(word, spec, TypingOptions{});
  return keys ? qrx_unicode::encode_utf8(*keys) : std::string();
}

std::vector<Word> syllables() {
  std::vector<std::string_view> onsets(vi_syllable::ONSETS.begin(), vi_syllable::ONSETS.end());
  onsets.insert(onsets.end(), {"", "gi", "qu"});
  std::set<std::string_view> nuclei(vi_syllable::OPEN_NUCLEI.begin(), vi_syllable::OPEN_NUCLEI.end());
  nuclei.insert(vi_syllable::CLOSED_NUCLEI.begin(), vi_syllable::CLOSED_NUCLEI.end());
  std::vector<std::string_view> codas(vi_syllable::CODAS.begin(), vi_syllable::CODAS.end());
  codas.push_back("");

  std::set<std::string> seen;
  std::vector<Word> words;
  for (std::string_view onset : onsets) {
    for (std::string_view nucleus : nuclei) {
      for (std::string_view coda : codas) {
        const std::string bare = std::string(onset) + std::string(nucleus) + std::string(coda);
        for (std::uint8_t tone = 0; tone <= 5; ++tone) {
          if (vi_syllable::check_final(bare, tone, false) != vi_syllable::kValid) continue;
          std::string text = vi_syllable::place_tone(bare, tone, vi_syllable::ToneStyle::New);
          if (!seen.insert(text).second) continue;
          Word w{text, keys_of(text, qrx_core::rules::TELEX), keys_of(text, qrx_core::rules::VNI)};
          if (!w.telex.empty() && !w.vni.empty()) words.push_back(std::move(w));
        }
      }
    }
  }
  return words;
}

// The word with its first letter in capitals, in the text and in both key sequences.
Word capitalised(const Word& w) {
  auto first_upper = [](const std::string& s) {
    std::size_t pos = 0;
    const char32_t first = qrx_unicode::next_char(s, pos);
    return qrx_unicode::encode_utf8(qrx_unicode::to_upper(first)) + s.substr(pos);
  };
  return Word{first_upper(w.text), first_upper(w.telex), first_upper(w.vni)};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: generate_text OUT_DIR WORDS\n";
    return 2;
  }
  const std::string dir = argv[1];
  const std::size_t total = std::stoul(argv[2]);
  std::vector<Word> words = syllables();

  Random random(20261207);
  for (std::size_t i = words.size(); i > 1; --i) std::swap(words[i - 1], words[random.below(i)]);
  std::vector<double> cumulative(words.size());
  double sum = 0;
  for (std::size_t r = 0; r < words.size(); ++r) cumulative[r] = sum += 1.0 / static_cast<double>(r + 2);

  std::string text, telex, vni;
  std::set<std::string> used;
  auto add = [&](const Word& w) {
    text += w.text;
    telex += w.telex;
    vni += w.vni;
  };
  auto separator = [&](std::string_view s) {
    text += s;
    telex += s;
    vni += s;
  };
  std::size_t written = 0;
  while (written < total) {
    const std::size_t sentences = 3 + random.below(5);
    for (std::size_t s = 0; s < sentences && written < total; ++s) {
      const std::size_t length = 4 + random.below(12);
      for (std::size_t i = 0; i < length; ++i, ++written) {
        const std::size_t pick =
            random.unit() < 0.5
                ? random.below(words.size())
                : static_cast<std::size_t>(
                      std::lower_bound(cumulative.begin(), cumulative.end(), random.unit() * sum) -
                      cumulative.begin());
        const Word& w = words[std::min(pick, words.size() - 1)];
        used.insert(w.text);
        add(i == 0 || random.unit() < 0.04 ? capitalised(w) : w);
        if (i + 1 < length) separator(random.unit() < 0.08 ? ", " : " ");
      }
      // The session keeps a word typed right after a full stop and a line break as typed (the
      // stop reads as part of a path), so a paragraph ends with another mark.
      const double end = random.unit();
      const bool last = s + 1 == sentences || written >= total;
      separator(last ? (end < 0.6 ? "!" : "?") : end < 0.8 ? "." : end < 0.9 ? "?" : "!");
      if (!last) separator(" ");
    }
    separator("\n");
  }
  if (used.size() < 10000) {
    std::cerr << "only " << used.size() << " distinct words\n";
    return 1;
  }
  for (const auto& [name, content] :
       {std::pair{"text.txt", &text}, {"telex.txt", &telex}, {"vni.txt", &vni}}) {
    std::ofstream out(dir + "/" + name, std::ios::binary);
    out << *content;
    if (!out) {
      std::cerr << "cannot write " << dir << "/" << name << "\n";
      return 1;
    }
  }
  std::cout << words.size() << " syllables, " << used.size() << " distinct words, " << written << " words, "
            << text.size() << " bytes\n";
  return 0;
}
