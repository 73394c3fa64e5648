// Any run of additions, removals, maximum changes and history strings: the list keeps its rules,
// its joined string reads back as the same list (items holding '|' come back split, as the format
// says), and the list written to the store reads back whole, beside the same joined string.
//
// Input: operations, each a byte and its arguments.
#include <locale.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <filesystem>
#include <string>
#include <vector>

#include "controls/HistoryModel.h"
#include "controls/HistoryStore.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "platform/SettingsFile.h"

namespace {

// Case folded away through the C library's own UTF-8 reader: each character lowered, sharp s as
// "ss", and a byte that is no whole character kept apart from every character.
std::u32string Folded(const std::string& s) {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  const locale_t previous = uselocale(utf8);
  std::u32string out;
  std::mbstate_t state{};
  for (size_t i = 0; i < s.size();) {
    wchar_t c = 0;
    const size_t n = std::mbrtowc(&c, s.data() + i, s.size() - i, &state);
    // The reader takes values past U+10FFFF, which are no characters.
    if (n == 0 || n > s.size() - i || static_cast<char32_t>(c) > 0x10FFFF) {
      state = {};
      out += static_cast<char32_t>(0x110000 + static_cast<unsigned char>(s[i]));
      ++i;
      continue;
    }
    i += n;
    if (c == L'\u00DF' || c == L'\u1E9E') {
      out += U"ss";
    } else {
      out += static_cast<char32_t>(std::towlower(static_cast<wint_t>(c)));
    }
  }
  uselocale(previous);
  return out;
}

// What a history string stands for: the pieces between bars, empty ones left out.
std::vector<std::string> Pieces(const std::string& history) {
  std::vector<std::string> out;
  std::string piece;
  for (char c : history) {
    if (c != '|') {
      piece += c;
    } else if (!piece.empty()) {
      out.push_back(piece);
      piece.clear();
    }
  }
  if (!piece.empty()) out.push_back(piece);
  return out;
}

std::vector<std::string> PiecesOfItems(const std::vector<std::string>& items) {
  std::vector<std::string> out;
  for (const std::string& item : items) {
    for (std::string& piece : Pieces(item)) out.push_back(std::move(piece));
  }
  return out;
}

std::string UpToNul(const std::string& s) {
  return s.substr(0, s.find('\0'));
}

void ListRules(const CHistoryModel& h) {
  FUZZ_CHECK(h.GetCurSel() >= -1 && h.GetCurSel() < h.Count());
  for (const std::string& item : h.Items()) FUZZ_CHECK(!item.empty() && item == UpToNul(item));
}

// A store file of the fuzzer's own, on a memory file system when there is one.
void UseOwnStore() {
  static bool done = false;
  if (done) return;
  done = true;
  static const std::string dir = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                 "/kestrel-history-fuzz-" + std::to_string(getpid());
  SettingsFile::Shared().SetPath(dir + "/Kestrel.reg");
  std::atexit([] { std::filesystem::remove_all(dir); });
}

void StoreRoundTrip(const CHistoryModel& h) {
  UseOwnStore();
  const std::string saved = h.GetHistoryString();
  // An empty history deletes the value, which fails when there is none.
  const bool written = HistoryStore::WriteHistory("Harrow", "Kestrel", "MaskHistory", h.Items());
  FUZZ_CHECK(written || saved.empty());
  const HistoryStore::Stored read = HistoryStore::ReadHistory("Harrow", "Kestrel", "MaskHistory");
  FUZZ_CHECK(read.text == saved);
  FUZZ_CHECK(saved.empty() ? !read.items : read.items && *read.items == h.Items());
  CHistoryModel restored;
  restored.SetMaxHistoryCount(h.GetMaxHistoryCount() ? h.GetMaxHistoryCount() : 1);
  if (read.items) restored.SetHistoryItems(*read.items);
  FUZZ_CHECK(restored.Items() == h.Items());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  CHistoryModel h;
  FUZZ_CHECK(h.GetMaxHistoryCount() == 6 && h.Count() == 0 && h.GetCurSel() == -1);
  bool storeChecked = false;

  for (int steps = 0; steps < 48 && !in.Done(); ++steps) {
    const uint8_t op = in.Byte();
    const std::vector<std::string> before = h.Items();
    switch (op % 8) {
      case 0:
      case 1: {
        // Texts end at a NUL, as C strings do.
        const std::string raw = in.Text(12);
        const std::string text = UpToNul(raw);
        int equal = -1;
        for (size_t i = 0; i < before.size() && equal < 0; ++i) {
          if (Folded(before[i]) == Folded(text)) equal = static_cast<int>(i);
        }
        FUZZ_CHECK(h.FindExact(text) == equal);
        const bool added = h.AddToHistory(raw);
        if (text.empty()) {
          FUZZ_CHECK(!added && h.Items() == before);
          break;
        }
        FUZZ_CHECK(added == (equal < 0));
        FUZZ_CHECK(h.Count() <= static_cast<int>(h.GetMaxHistoryCount()));
        if (h.GetMaxHistoryCount() == 0) {
          FUZZ_CHECK(h.Count() == 0 && h.GetCurSel() == -1);
          break;
        }
        // The first equal item (a restored string may hold more than one) moves to the top.
        std::vector<std::string> wanted = before;
        if (equal >= 0) wanted.erase(wanted.begin() + equal);
        wanted.insert(wanted.begin(), text);
        if (wanted.size() > h.GetMaxHistoryCount()) wanted.resize(h.GetMaxHistoryCount());
        FUZZ_CHECK(h.Items() == wanted && h.GetCurSel() == 0);
        break;
      }
      case 2: {
        const int index = static_cast<int>(in.Byte() % 10) - 2;
        const int selected = h.GetCurSel();
        const int target = index == -1 ? selected : index;
        const bool removed = h.RemoveItem(index);
        FUZZ_CHECK(removed == (target >= 0 && target < static_cast<int>(before.size())));
        if (!removed) {
          FUZZ_CHECK(h.Items() == before);
          break;
        }
        std::vector<std::string> wanted = before;
        wanted.erase(wanted.begin() + target);
        FUZZ_CHECK(h.Items() == wanted);
        FUZZ_CHECK(h.GetCurSel() == (target < h.Count() ? target : target - 1));
        break;
      }
      case 3: {
        const unsigned max = in.Byte() % 9;
        h.SetMaxHistoryCount(max);
        FUZZ_CHECK(h.GetMaxHistoryCount() == max);
        std::vector<std::string> wanted = before;
        if (wanted.size() > max) wanted.resize(max);
        FUZZ_CHECK(h.Items() == wanted);
        break;
      }
      case 4: {
        const std::string history = in.Text(40);
        h.SetHistoryString(history);
        FUZZ_CHECK(h.GetCurSel() == -1);
        FUZZ_CHECK(h.Items() ==
                   (h.GetMaxHistoryCount() == 0 ? std::vector<std::string>{} : Pieces(UpToNul(history))));
        break;
      }
      case 5: {
        const std::string prefix = in.Text(4);
        const int found = h.FindPrefix(prefix);
        int wanted = -1;
        for (int i = 0; i < h.Count() && wanted < 0; ++i) {
          if (Folded(h.Items()[static_cast<size_t>(i)]).starts_with(Folded(prefix))) wanted = i;
        }
        FUZZ_CHECK(found == wanted);
        break;
      }
      case 6:
        h.SetCurSel(static_cast<int>(in.Byte() % 10) - 2);
        break;
      case 7:
        if (!storeChecked) StoreRoundTrip(h);
        storeChecked = true;
        break;
    }
    ListRules(h);

    // The saved string reads back as the list.
    const std::string saved = h.GetHistoryString();
    CHistoryModel copy;
    copy.SetMaxHistoryCount(1);
    copy.SetHistoryString(saved);
    FUZZ_CHECK(copy.Items() == PiecesOfItems(h.Items()));
    bool plain = true;
    for (const std::string& item : h.Items()) plain = plain && item.find('|') == std::string::npos;
    if (plain) {
      FUZZ_CHECK(copy.Items() == h.Items());
      FUZZ_CHECK(copy.GetHistoryString() == saved);
    }
  }
  return 0;
}
