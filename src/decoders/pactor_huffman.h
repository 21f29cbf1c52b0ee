#pragma once
// The Huffman code of compressed PACTOR data: 128 codes (one per 7-bit character), a tree built
// from them at compile time, and a walk that turns data bits into characters.
//
// A 1 bit takes the one branch and a 0 bit the other; every leaf holds its character. Characters
// 28 and 90 share one code: the later one (90, "Z") keeps the leaf.
#include <array>
#include <cstdint>
#include <string_view>

namespace vexa::decoders {

// The code of character c (0..127) as '0'/'1' text, first bit first; empty for c outside.
std::string_view PactorHuffmanCode(int c);

struct PactorHuffmanNode {
  int16_t child[2];  // 0 = no branch (the root is never a child)
  int16_t leaf;      // character at this node, or -1
};

// Enough nodes for 128 codes of up to 16 bits plus the root.
constexpr int kPactorHuffmanMaxNodes = 128 * 16 + 1;
using PactorHuffmanTree = std::array<PactorHuffmanNode, kPactorHuffmanMaxNodes>;

const PactorHuffmanTree& PactorHuffmanTreeNodes();

// Walks the tree bit by bit. A leaf yields its character and restarts at the root; a bit with no
// branch leaves the walk where it is.
class PactorHuffmanWalk {
 public:
  void Restart() { node_ = 0; }
  // Returns the character completed by this bit, or -1.
  int Step(int bit);
  int node() const { return node_; }

 private:
  int node_ = 0;
};

}  // namespace vexa::decoders
