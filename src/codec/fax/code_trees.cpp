#include "codec/fax/code_trees.h"

#include <span>
#include <string_view>

namespace tamarind {
namespace {

// ITU-T T.4 code words, run length = index (terminating) or (index + 1) * 64
// (make-up).
constexpr std::string_view kWhiteTerminating[] = {
    "00110101", "000111",   "0111",     "1000",     "1011",     "1100",     "1110",     "1111",
    "10011",    "10100",    "00111",    "01000",    "001000",   "000011",   "110100",   "110101",
    "101010",   "101011",   "0100111",  "0001100",  "0001000",  "0010111",  "0000011",  "0000100",
    "0101000",  "0101011",  "0010011",  "0100100",  "0011000",  "00000010", "00000011", "00011010",
    "00011011", "00010010", "00010011", "00010100", "00010101", "00010110", "00010111", "00101000",
    "00101001", "00101010", "00101011", "00101100", "00101101", "00000100", "00000101", "00001010",
    "00001011", "01010010", "01010011", "01010100", "01010101", "00100100", "00100101", "01011000",
    "01011001", "01011010", "01011011", "01001010", "01001011", "00110010", "00110011", "00110100"};
constexpr std::string_view kWhiteMakeUp[] = {
    "11011",     "10010",     "010111",    "0110111",   "00110110",  "00110111",  "01100100",
    "01100101",  "01101000",  "01100111",  "011001100", "011001101", "011010010", "011010011",
    "011010100", "011010101", "011010110", "011010111", "011011000", "011011001", "011011010",
    "011011011", "010011000", "010011001", "010011010", "011000",    "010011011"};
constexpr std::string_view kBlackTerminating[] = {
    "0000110111",   "010",          "11",           "10",           "011",          "0011",         "0010",
    "00011",        "000101",       "000100",       "0000100",      "0000101",      "0000111",      "00000100",
    "00000111",     "000011000",    "0000010111",   "0000011000",   "0000001000",   "00001100111",  "00001101000",
    "00001101100",  "00000110111",  "00000101000",  "00000010111",  "00000011000",  "000011001010", "000011001011",
    "000011001100", "000011001101", "000001101000", "000001101001", "000001101010", "000001101011", "000011010010",
    "000011010011", "000011010100", "000011010101", "000011010110", "000011010111", "000001101100", "000001101101",
    "000011011010", "000011011011", "000001010100", "000001010101", "000001010110", "000001010111", "000001100100",
    "000001100101", "000001010010", "000001010011", "000000100100", "000000110111", "000000111000", "000000100111",
    "000000101000", "000001011000", "000001011001", "000000101011", "000000101100", "000001011010", "000001100110",
    "000001100111"};
constexpr std::string_view kBlackMakeUp[] = {
    "0000001111",    "000011001000",  "000011001001",  "000001011011",  "000000110011",  "000000110100",
    "000000110101",  "0000001101100", "0000001101101", "0000001001010", "0000001001011", "0000001001100",
    "0000001001101", "0000001110010", "0000001110011", "0000001110100", "0000001110101", "0000001110110",
    "0000001110111", "0000001010010", "0000001010011", "0000001010100", "0000001010101", "0000001011010",
    "0000001011011", "0000001100100", "0000001100101"};
// 1792 to 2560, shared by both colours.
constexpr std::string_view kExtendedMakeUp[] = {
    "00000001000",  "00000001100",  "00000001101",  "000000010010", "000000010011", "000000010100", "000000010101",
    "000000010110", "000000010111", "000000011100", "000000011101", "000000011110", "000000011111"};
constexpr int kFirstExtendedMakeUp = 1792 / 64;

struct ModeWord {
  std::string_view code;
  uint8_t value;
};
constexpr ModeWord kModeWords[] = {{"1", kModeV0},        {"011", kModeVR1},
                                   {"000011", kModeVR2},  {"0000011", kModeVR3},
                                   {"010", kModeVL1},     {"000010", kModeVL2},
                                   {"0000010", kModeVL3}, {"001", kModeHorizontal},
                                   {"0001", kModePass},   {"0000001111", kModeExtension}};

constexpr uint8_t TerminatingLeaf(int run) { return static_cast<uint8_t>((run << 2) | 1); }
constexpr uint8_t MakeUpLeaf(int run_over_64) { return static_cast<uint8_t>((run_over_64 << 2) | 3); }

// A plain binary trie of the code words, turned into the byte encoding.
class TreeBuilder {
 public:
  constexpr explicit TreeBuilder(int first_bits) { tree_.first_bits = static_cast<uint8_t>(first_bits); }

  constexpr void Add(std::string_view code, uint8_t leaf) {
    int node = kRoot;
    for (size_t i = 0; i + 1 < code.size(); ++i) node = Child(node, code[i] - '0');
    trie_[node].child[code.back() - '0'] = NewLeaf(leaf);
  }

  // Eight to ten zeros and a 1 are invalid, eleven and a 1 an EOL, and from
  // twelve zeros on the walk loops two bits at a time.
  constexpr void AddZeroRun() {
    int node = kRoot;
    for (int i = 0; i < 8; ++i) node = Child(node, 0);
    for (int zeros = 8; zeros < 11; ++zeros) {
      trie_[node].child[1] = NewLeaf(kLeafInvalid);
      node = Child(node, 0);
    }
    trie_[node].child[1] = NewLeaf(kLeafEol);
    trie_[node].child[0] = kZeroLoop;
  }

  constexpr CodeTree Build() {
    next_group_ = ((1 << tree_.first_bits) + 3) & ~3;
    for (int prefix = 0; prefix < (1 << tree_.first_bits); ++prefix) {
      int node = kRoot;
      for (int bit = tree_.first_bits - 1; bit >= 0 && node >= 0 && !trie_[node].is_leaf; --bit)
        node = trie_[node].child[(prefix >> bit) & 1];
      tree_.nodes[static_cast<size_t>(prefix)] = Entry(node);
    }
    tree_.size = static_cast<uint16_t>(next_group_);
    FillLookup();
    return tree_;
  }

 private:
  static constexpr int kRoot = 0;
  static constexpr int kMissing = -1;
  static constexpr int kZeroLoop = -2;
  struct TrieNode {
    int child[2] = {kMissing, kMissing};
    bool is_leaf = false;
    uint8_t leaf = 0;
  };

  constexpr int Child(int node, int bit) {
    if (trie_[node].child[bit] == kMissing) trie_[node].child[bit] = used_++;
    return trie_[node].child[bit];
  }
  constexpr int NewLeaf(uint8_t leaf) {
    trie_[used_].is_leaf = true;
    trie_[used_].leaf = leaf;
    return used_++;
  }
  constexpr bool IsInner(int node) const { return node >= 0 && !trie_[node].is_leaf; }

  constexpr int NewGroup() {
    int group = next_group_;
    next_group_ += 4;
    if (next_group_ > 256) throw "code tree does not fit in 256 entries";
    return group;
  }

  // The byte that stands for |node| in its parent's slot. Two bits are
  // taken at once only where no code ends after the first of them, so a
  // walk never reads past a code.
  constexpr uint8_t Entry(int node) {
    if (node == kMissing) return kLeafInvalid;
    if (node == kZeroLoop) return ZeroLoopEntry();
    const TrieNode& n = trie_[node];
    if (n.is_leaf) return n.leaf;
    int group = NewGroup();
    if (IsInner(n.child[0]) && IsInner(n.child[1])) {
      for (int b = 0; b < 4; ++b)
        tree_.nodes[static_cast<size_t>(group) + static_cast<size_t>(b)] = Entry(trie_[n.child[b >> 1]].child[b & 1]);
      return static_cast<uint8_t>(group + 2);
    }
    tree_.nodes[static_cast<size_t>(group)] = Entry(n.child[0]);
    tree_.nodes[static_cast<size_t>(group) + 1] = Entry(n.child[1]);
    return static_cast<uint8_t>(group);
  }

  constexpr uint8_t ZeroLoopEntry() {
    int group = NewGroup();
    tree_.nodes[static_cast<size_t>(group)] = static_cast<uint8_t>(group + 2);  // 00: still zeros
    tree_.nodes[static_cast<size_t>(group) + 1] = kLeafEol;                     // 01
    tree_.nodes[static_cast<size_t>(group) + 2] = kLeafEolTookZero;             // 10
    tree_.nodes[static_cast<size_t>(group) + 3] = kLeafEolTookOne;              // 11
    return static_cast<uint8_t>(group + 2);
  }

  // Walks the finished tree over each 12-bit pattern, exactly as WalkTree
  // does over the data.
  constexpr void FillLookup() {
    for (int pattern = 0; pattern < (1 << kLookupBits); ++pattern) {
      int taken = 0;
      auto take = [&](int n) {
        int bits = (pattern >> (kLookupBits - taken - n)) & ((1 << n) - 1);
        taken += n;
        return bits;
      };
      int index = take(tree_.first_bits);
      uint16_t result = 0;
      while (true) {
        uint8_t e = tree_.nodes[static_cast<size_t>(index)];
        if (IsLeaf(e)) {
          result = static_cast<uint16_t>((taken << 8) | e);
          break;
        }
        int step = (e & 2) ? 2 : 1;
        if (taken + step > kLookupBits) break;
        index = (e & 2) ? e - 2 + take(2) : e + take(1);
      }
      tree_.lookup[static_cast<size_t>(pattern)] = result;
    }
  }

  CodeTree tree_{};
  TrieNode trie_[400]{};
  int used_ = 1;
  int next_group_ = 0;
};

constexpr CodeTree MakeRunTree(int first_bits, std::span<const std::string_view> terminating,
                               std::span<const std::string_view> make_up) {
  TreeBuilder builder(first_bits);
  for (size_t run = 0; run < terminating.size(); ++run)
    builder.Add(terminating[run], TerminatingLeaf(static_cast<int>(run)));
  for (size_t i = 0; i < make_up.size(); ++i) builder.Add(make_up[i], MakeUpLeaf(static_cast<int>(i) + 1));
  for (size_t i = 0; i < std::size(kExtendedMakeUp); ++i)
    builder.Add(kExtendedMakeUp[i], MakeUpLeaf(kFirstExtendedMakeUp + static_cast<int>(i)));
  builder.AddZeroRun();
  return builder.Build();
}

constexpr CodeTree MakeModeTree() {
  TreeBuilder builder(1);
  for (const ModeWord& word : kModeWords) builder.Add(word.code, TerminatingLeaf(word.value));
  builder.AddZeroRun();
  return builder.Build();
}

}  // namespace

constexpr CodeTree kWhiteTree = MakeRunTree(4, kWhiteTerminating, kWhiteMakeUp);
constexpr CodeTree kBlackTree = MakeRunTree(2, kBlackTerminating, kBlackMakeUp);
constexpr CodeTree kModeTree = MakeModeTree();

int WalkTree(FaxBitReader& reader, const CodeTree& tree) {
  int index = reader.ReadBits(tree.first_bits);
  while (index >= 0) {
    uint8_t e = tree.nodes[static_cast<size_t>(index)];
    if (IsLeaf(e)) return e;
    int bits = reader.ReadBits((e & 2) ? 2 : 1);
    if (bits < 0) return bits;
    index = (e & 2) ? e - 2 + bits : e + bits;
  }
  return index;
}

}  // namespace tamarind
