#include <qrx_engine/ports.h>

#include <qrx_unicode/unicode.h>

namespace qrx_data {
extern const std::string_view english_words;
extern const std::string_view vietnamese_words;
}  // namespace qrx_data

namespace qrx_engine::ports {

namespace {

WordSet word_set(std::string_view text) {
  WordSet words;
  for (std::string_view word : split_words(text)) words.emplace(word);
  return words;
}

}  // namespace

std::vector<std::string_view> split_words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t start = std::string_view::npos;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t at = pos;
    const bool space = qrx_unicode::is_white_space(qrx_unicode::next_char(text, pos));
    if (space && start != std::string_view::npos) {
      words.push_back(text.substr(start, at - start));
      start = std::string_view::npos;
    } else if (!space && start == std::string_view::npos) {
      start = at;
    }
  }
  if (start != std::string_view::npos) words.push_back(text.substr(start));
  return words;
}

WordListDictionary WordListDictionary::make_default() {
  return from_text(qrx_data::english_words, qrx_data::vietnamese_words);
}

WordListDictionary WordListDictionary::from_text(std::string_view english, std::string_view vietnamese) {
  return WordListDictionary(word_set(english), word_set(vietnamese));
}

bool WordListDictionary::is_english(std::string_view word) const { return english_.contains(word); }

bool WordListDictionary::is_vietnamese(std::string_view word) const { return vietnamese_.contains(word); }

}  // namespace qrx_engine::ports
