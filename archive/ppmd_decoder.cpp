// PPMd variant H decoding. The model predicts each byte from the contexts of the preceding bytes
// (up to the model order); contexts live in one memory block managed by a small unit allocator,
// and when that block is full the model starts over. The encoder runs the very same model, so every
// detail here (allocator included) decides which bytes come out.
#include "archive/ppmd_decoder.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace sz {
namespace {

constexpr unsigned kMaxOrder = 64;
constexpr unsigned kUnitSize = 12;
constexpr unsigned kMaxFreq = 124;
constexpr unsigned kIntBits = 7;
constexpr unsigned kPeriodBits = 7;
constexpr unsigned kBinScale = 1 << (kIntBits + kPeriodBits);
constexpr unsigned kNumIndexes = 4 + 4 + 4 + 26;
constexpr uint32_t kTop = uint32_t(1) << 24;
constexpr uint32_t kBottom = uint32_t(1) << 15;

const uint16_t kInitBinEsc[8] = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3, 0x64A1, 0x5ABC, 0x6632, 0x6051};
const uint8_t kExpEscape[16] = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};

// Memory records; every reference is a 32-bit offset from the start of the model memory, 0 = none.
struct State {  // 6 bytes: a symbol of a context, its frequency and the context that follows it
  uint8_t symbol;
  uint8_t freq;
  uint16_t successor_lo;
  uint16_t successor_hi;
  uint32_t successor() const { return uint32_t(successor_lo) | uint32_t(successor_hi) << 16; }
  void set_successor(uint32_t v) {
    successor_lo = uint16_t(v);
    successor_hi = uint16_t(v >> 16);
  }
};
static_assert(sizeof(State) == 6, "state layout");

struct Context {  // 12 bytes, one unit; a context with one symbol keeps its state in place
  uint16_t num_stats;
  uint16_t summ_freq;
  uint32_t stats;
  uint32_t suffix;
  State* one_state() { return reinterpret_cast<State*>(&summ_freq); }
};
static_assert(sizeof(Context) == 12, "context layout");

struct FreeNode {  // a free block while the allocator glues neighbours together
  uint16_t stamp;
  uint16_t nu;
  uint32_t next;
  uint32_t prev;
};
static_assert(sizeof(FreeNode) == 12, "node layout");

struct See {  // adaptive escape estimate
  uint16_t summ;
  uint8_t shift;
  uint8_t count;
  void Update() {
    if (shift < kPeriodBits && --count == 0) {
      summ = uint16_t(summ << 1);
      count = uint8_t(3 << shift++);
    }
  }
};

// The range decoder of 7z's PPMd streams.
class RangeDecoder {
 public:
  explicit RangeDecoder(InStream* in) : in_(in) {}

  bool Init() {
    code_ = 0;
    range_ = 0xFFFFFFFF;
    if (Byte() != 0) return false;
    for (int i = 0; i < 4; ++i) code_ = (code_ << 8) | Byte();
    return code_ < 0xFFFFFFFF;
  }
  uint32_t Threshold(uint32_t total) {
    range_ /= total;
    if (range_ == 0) {  // only damaged data gets here; keep the arithmetic defined
      range_ = 1;
      ++overrun_;
    }
    return code_ / range_;
  }
  void Decode(uint32_t start, uint32_t size) {
    code_ -= start * range_;
    range_ *= size;
    Normalize();
  }
  unsigned DecodeBit(uint32_t size0, uint32_t total) {
    const uint32_t bound = (range_ / total) * size0;
    unsigned bit;
    if (code_ < bound) {
      bit = 0;
      range_ = bound;
    } else {
      bit = 1;
      code_ -= bound;
      range_ -= bound;
    }
    Normalize();
    return bit;
  }
  // Bytes asked for beyond the end of the input (the encoder's flush makes these unnecessary).
  unsigned overrun() const { return overrun_; }
  Result error() const { return error_; }

 private:
  void Normalize() {
    if (range_ < kTop) {
      code_ = (code_ << 8) | Byte();
      range_ <<= 8;
      if (range_ < kTop) {
        code_ = (code_ << 8) | Byte();
        range_ <<= 8;
      }
    }
  }
  uint8_t Byte() {
    if (pos_ == end_) {
      pos_ = end_ = 0;
      size_t n = 0;
      if (error_ == Result::kOk) {
        Result r = in_->Read(buffer_, sizeof(buffer_), &n);
        if (r != Result::kOk) error_ = r;
      }
      if (n == 0) {
        ++overrun_;
        return 0;
      }
      end_ = n;
    }
    return buffer_[pos_++];
  }

  InStream* in_;
  uint32_t range_ = 0, code_ = 0;
  uint8_t buffer_[1 << 14];
  size_t pos_ = 0, end_ = 0;
  unsigned overrun_ = 0;
  Result error_ = Result::kOk;
};

class Model {
 public:
  ~Model() { std::free(base_); }

  bool Allocate(uint32_t size) {
    // Offsets start past 0 (0 means "none"); the extra unit at the end is a guard for gluing.
    align_offset_ = 4 - (size & 3);
    base_ = static_cast<uint8_t*>(std::malloc(size_t(align_offset_) + size + kUnitSize));
    if (!base_) return false;
    size_ = size;
    return true;
  }

  void Init(unsigned max_order) {
    max_order_ = max_order;
    Restart();
    dummy_see_.shift = kPeriodBits;
    dummy_see_.summ = 0;
    dummy_see_.count = 64;
  }

  // Decodes one symbol; -1 for the end mark, -2 for malformed data.
  int DecodeSymbol(RangeDecoder* rc);

  Model() {
    // Block sizes in units for each free-list index: 1-4, then steps of 2, 3 and 4 up to 128.
    unsigned k = 0;
    for (unsigned i = 0; i < kNumIndexes; ++i) {
      unsigned step = i >= 12 ? 4 : (i >> 2) + 1;
      do {
        units_to_index_[k++] = uint8_t(i);
      } while (--step);
      index_to_units_[i] = uint8_t(k);
    }
    ns_to_bs_index_[0] = 0 << 1;
    ns_to_bs_index_[1] = 1 << 1;
    std::memset(ns_to_bs_index_ + 2, 2 << 1, 9);
    std::memset(ns_to_bs_index_ + 11, 3 << 1, 256 - 11);
    unsigned i = 0;
    for (; i < 3; ++i) ns_to_index_[i] = uint8_t(i);
    for (unsigned m = i, step = 1; i < 256; ++i) {
      ns_to_index_[i] = uint8_t(m);
      if (--step == 0) step = (++m) - 2;
    }
    std::memset(hb_to_flag_, 0, 0x40);
    std::memset(hb_to_flag_ + 0x40, 8, 0x100 - 0x40);
  }

 private:
  // Offsets and pointers.
  uint8_t* Ptr(uint32_t ref) const { return base_ + ref; }
  uint32_t Ref(const void* p) const { return uint32_t(static_cast<const uint8_t*>(p) - base_); }
  Context* Ctx(uint32_t ref) const { return reinterpret_cast<Context*>(base_ + ref); }
  State* Stats(const Context* c) const { return reinterpret_cast<State*>(base_ + c->stats); }
  Context* Suffix(const Context* c) const { return Ctx(c->suffix); }
  FreeNode* Node(uint32_t ref) const { return reinterpret_cast<FreeNode*>(base_ + ref); }
  unsigned I2U(unsigned index) const { return index_to_units_[index]; }
  unsigned U2I(unsigned units) const { return units_to_index_[units - 1]; }
  static uint32_t U2B(unsigned units) { return units * kUnitSize; }

  // The allocator: free lists of blocks by size index; units come from the low end of the unit
  // area (states) or the high end (contexts), and, when both are used up, from the text area.
  void InsertNode(uint32_t node, unsigned index) {
    std::memcpy(Ptr(node), &free_list_[index], 4);
    free_list_[index] = node;
  }
  uint32_t RemoveNode(unsigned index) {
    uint32_t node = free_list_[index];
    std::memcpy(&free_list_[index], Ptr(node), 4);
    return node;
  }
  void SplitBlock(uint32_t ptr, unsigned old_index, unsigned new_index) {
    const unsigned nu = I2U(old_index) - I2U(new_index);
    ptr += U2B(I2U(new_index));
    unsigned i = U2I(nu);
    if (I2U(i) != nu) {
      const unsigned k = I2U(--i);
      InsertNode(ptr + U2B(k), nu - k - 1);
    }
    InsertNode(ptr, i);
  }
  void GlueFreeBlocks();
  uint32_t AllocUnitsRare(unsigned index);
  uint32_t AllocUnits(unsigned index);
  uint32_t ShrinkUnits(uint32_t old_ptr, unsigned old_nu, unsigned new_nu);
  uint32_t AllocContext() {
    if (hi_unit_ != lo_unit_) return hi_unit_ -= kUnitSize;
    if (free_list_[0] != 0) return RemoveNode(0);
    return AllocUnitsRare(0);
  }

  void Restart();
  Context* CreateSuccessors(bool skip);
  void UpdateModel();
  void Rescale();
  void NextContext() {
    Context* c = Ctx(found_state_->successor());
    if (order_fall_ == 0 && Ref(c) > text_) {
      min_context_ = max_context_ = c;
    } else {
      UpdateModel();
    }
  }
  void Update1() {
    State* s = found_state_;
    s->freq = uint8_t(s->freq + 4);
    min_context_->summ_freq = uint16_t(min_context_->summ_freq + 4);
    if (s[0].freq > s[-1].freq) {
      std::swap(s[0], s[-1]);
      found_state_ = --s;
      if (s->freq > kMaxFreq) Rescale();
    }
    NextContext();
  }
  void Update1First() {
    prev_success_ = 2u * found_state_->freq > min_context_->summ_freq;
    run_length_ += int32_t(prev_success_);
    min_context_->summ_freq = uint16_t(min_context_->summ_freq + 4);
    found_state_->freq = uint8_t(found_state_->freq + 4);
    if (found_state_->freq > kMaxFreq) Rescale();
    NextContext();
  }
  void UpdateBin() {
    found_state_->freq = uint8_t(found_state_->freq + (found_state_->freq < 128 ? 1 : 0));
    prev_success_ = 1;
    ++run_length_;
    NextContext();
  }
  void Update2() {
    found_state_->freq = uint8_t(found_state_->freq + 4);
    min_context_->summ_freq = uint16_t(min_context_->summ_freq + 4);
    if (found_state_->freq > kMaxFreq) Rescale();
    run_length_ = init_rl_;
    UpdateModel();
  }
  See* MakeEscFreq(unsigned num_masked, uint32_t* esc_freq);

  uint8_t* base_ = nullptr;
  uint32_t size_ = 0, align_offset_ = 0;
  uint32_t text_ = 0, units_start_ = 0, lo_unit_ = 0, hi_unit_ = 0;
  uint32_t glue_count_ = 0;
  uint32_t free_list_[kNumIndexes] = {};
  uint8_t index_to_units_[kNumIndexes];
  uint8_t units_to_index_[128];
  uint8_t ns_to_index_[256], ns_to_bs_index_[256], hb_to_flag_[256];

  Context* min_context_ = nullptr;
  Context* max_context_ = nullptr;
  State* found_state_ = nullptr;
  unsigned order_fall_ = 0, init_esc_ = 0, prev_success_ = 0, max_order_ = 0, hi_bits_flag_ = 0;
  int32_t run_length_ = 0, init_rl_ = 0;
  See dummy_see_{}, see_[25][16];
  uint16_t bin_summ_[128][64];
};

void Model::Restart() {
  std::memset(free_list_, 0, sizeof(free_list_));
  text_ = align_offset_;
  hi_unit_ = text_ + size_;
  lo_unit_ = units_start_ = hi_unit_ - size_ / 8 / kUnitSize * 7 * kUnitSize;
  glue_count_ = 0;

  order_fall_ = max_order_;
  run_length_ = init_rl_ = -int32_t(max_order_ < 12 ? max_order_ : 12) - 1;
  prev_success_ = 0;

  hi_unit_ -= kUnitSize;
  min_context_ = max_context_ = Ctx(hi_unit_);
  min_context_->suffix = 0;
  min_context_->num_stats = 256;
  min_context_->summ_freq = 256 + 1;
  found_state_ = reinterpret_cast<State*>(Ptr(lo_unit_));
  min_context_->stats = lo_unit_;
  lo_unit_ += U2B(256 / 2);
  for (unsigned i = 0; i < 256; ++i) {
    State* s = &found_state_[i];
    s->symbol = uint8_t(i);
    s->freq = 1;
    s->set_successor(0);
  }
  for (unsigned i = 0; i < 128; ++i) {
    for (unsigned k = 0; k < 8; ++k) {
      const uint16_t v = uint16_t(kBinScale - kInitBinEsc[k] / (i + 2));
      for (unsigned m = 0; m < 64; m += 8) bin_summ_[i][k + m] = v;
    }
  }
  for (unsigned i = 0; i < 25; ++i) {
    for (unsigned k = 0; k < 16; ++k) {
      See* s = &see_[i][k];
      s->shift = kPeriodBits - 4;
      s->summ = uint16_t((5 * i + 10) << s->shift);
      s->count = 4;
    }
  }
}

void Model::GlueFreeBlocks() {
  // A doubly-linked ring of every free block, anchored at the guard unit past the memory's end;
  // then each block absorbs the free blocks that follow it in memory; then the lists are rebuilt.
  const uint32_t head = align_offset_ + size_;
  uint32_t n = head;
  glue_count_ = 255;
  for (unsigned i = 0; i < kNumIndexes; ++i) {
    const uint16_t nu = uint16_t(I2U(i));
    uint32_t next = free_list_[i];
    free_list_[i] = 0;
    while (next != 0) {
      FreeNode* node = Node(next);
      uint32_t link;
      std::memcpy(&link, node, 4);
      node->next = n;
      Node(n)->prev = next;
      n = next;
      next = link;
      node->stamp = 0;
      node->nu = nu;
    }
  }
  Node(head)->stamp = 1;
  Node(head)->next = n;
  Node(n)->prev = head;
  if (lo_unit_ != hi_unit_) Node(lo_unit_)->stamp = 1;

  while (n != head) {
    FreeNode* node = Node(n);
    uint32_t nu = node->nu;
    for (;;) {
      FreeNode* node2 = Node(n + nu * kUnitSize);
      nu += node2->nu;
      if (node2->stamp != 0 || nu >= 0x10000) break;
      Node(node2->prev)->next = node2->next;
      Node(node2->next)->prev = node2->prev;
      node->nu = uint16_t(nu);
    }
    n = node->next;
  }

  for (n = Node(head)->next; n != head;) {
    FreeNode* node = Node(n);
    const uint32_t next = node->next;
    unsigned nu = node->nu;
    uint32_t at = n;
    for (; nu > 128; nu -= 128, at += 128 * kUnitSize) InsertNode(at, kNumIndexes - 1);
    unsigned i = U2I(nu);
    if (I2U(i) != nu) {
      const unsigned k = I2U(--i);
      InsertNode(at + k * kUnitSize, nu - k - 1);
    }
    InsertNode(at, i);
    n = next;
  }
}

uint32_t Model::AllocUnitsRare(unsigned index) {
  if (glue_count_ == 0) {
    GlueFreeBlocks();
    if (free_list_[index] != 0) return RemoveNode(index);
  }
  unsigned i = index;
  do {
    if (++i == kNumIndexes) {
      const uint32_t bytes = U2B(I2U(index));
      --glue_count_;
      if (units_start_ - text_ > bytes) return units_start_ -= bytes;
      return 0;
    }
  } while (free_list_[i] == 0);
  const uint32_t block = RemoveNode(i);
  SplitBlock(block, i, index);
  return block;
}

uint32_t Model::AllocUnits(unsigned index) {
  if (free_list_[index] != 0) return RemoveNode(index);
  const uint32_t bytes = U2B(I2U(index));
  if (bytes <= hi_unit_ - lo_unit_) {
    const uint32_t block = lo_unit_;
    lo_unit_ += bytes;
    return block;
  }
  return AllocUnitsRare(index);
}

uint32_t Model::ShrinkUnits(uint32_t old_ptr, unsigned old_nu, unsigned new_nu) {
  const unsigned i0 = U2I(old_nu);
  const unsigned i1 = U2I(new_nu);
  if (i0 == i1) return old_ptr;
  if (free_list_[i1] != 0) {
    const uint32_t ptr = RemoveNode(i1);
    std::memmove(Ptr(ptr), Ptr(old_ptr), U2B(new_nu));
    InsertNode(old_ptr, i0);
    return ptr;
  }
  SplitBlock(old_ptr, i0, i1);
  return old_ptr;
}

Context* Model::CreateSuccessors(bool skip) {
  Context* c = min_context_;
  const uint32_t up_branch = found_state_->successor();
  State* ps[kMaxOrder];
  unsigned num_ps = 0;
  if (!skip) ps[num_ps++] = found_state_;
  while (c->suffix) {
    c = Suffix(c);
    State* s;
    if (c->num_stats != 1) {
      for (s = Stats(c); s->symbol != found_state_->symbol; ++s) {
      }
    } else {
      s = c->one_state();
    }
    const uint32_t successor = s->successor();
    if (successor != up_branch) {
      c = Ctx(successor);
      if (num_ps == 0) return c;
      break;
    }
    ps[num_ps++] = s;
  }

  // The new contexts all start with the symbol that followed in the text.
  State up;
  up.symbol = *Ptr(up_branch);
  up.set_successor(up_branch + 1);
  if (c->num_stats == 1) {
    up.freq = c->one_state()->freq;
  } else {
    State* s;
    for (s = Stats(c); s->symbol != up.symbol; ++s) {
    }
    const uint32_t cf = s->freq - 1u;
    const uint32_t s0 = c->summ_freq - c->num_stats - cf;
    up.freq = uint8_t(1 + ((2 * cf <= s0) ? (5 * cf > s0) : ((2 * cf + 3 * s0 - 1) / (2 * s0))));
  }
  do {
    const uint32_t ref = AllocContext();
    if (!ref) return nullptr;
    Context* c1 = Ctx(ref);
    c1->num_stats = 1;
    *c1->one_state() = up;
    c1->suffix = Ref(c);
    ps[--num_ps]->set_successor(ref);
    c = c1;
  } while (num_ps != 0);
  return c;
}

void Model::UpdateModel() {
  uint32_t f_successor = found_state_->successor();
  if (found_state_->freq < kMaxFreq / 4 && min_context_->suffix != 0) {
    Context* c = Suffix(min_context_);
    if (c->num_stats == 1) {
      State* s = c->one_state();
      if (s->freq < 32) ++s->freq;
    } else {
      State* s = Stats(c);
      if (s->symbol != found_state_->symbol) {
        do {
          ++s;
        } while (s->symbol != found_state_->symbol);
        if (s[0].freq >= s[-1].freq) {
          std::swap(s[0], s[-1]);
          --s;
        }
      }
      if (s->freq < kMaxFreq - 9) {
        s->freq = uint8_t(s->freq + 2);
        c->summ_freq = uint16_t(c->summ_freq + 2);
      }
    }
  }

  if (order_fall_ == 0) {
    min_context_ = max_context_ = CreateSuccessors(true);
    if (!min_context_) {
      Restart();
      return;
    }
    found_state_->set_successor(Ref(min_context_));
    return;
  }

  *Ptr(text_++) = found_state_->symbol;
  uint32_t successor = text_;
  if (text_ >= units_start_) {
    Restart();
    return;
  }

  if (f_successor) {
    if (f_successor <= successor) {
      // The successor still points into the text: make real contexts of it.
      Context* cs = CreateSuccessors(false);
      if (!cs) {
        Restart();
        return;
      }
      f_successor = Ref(cs);
    }
    if (--order_fall_ == 0) {
      successor = f_successor;
      if (max_context_ != min_context_) --text_;
    }
  } else {
    found_state_->set_successor(successor);
    f_successor = Ref(min_context_);
  }

  const unsigned ns = min_context_->num_stats;
  const uint32_t s0 = min_context_->summ_freq - ns - (found_state_->freq - 1u);

  for (Context* c = max_context_; c != min_context_; c = Suffix(c)) {
    const unsigned ns1 = c->num_stats;
    if (ns1 != 1) {
      if ((ns1 & 1) == 0) {
        // The state array is full: grow it by one unit.
        const unsigned old_nu = ns1 >> 1;
        const unsigned i = U2I(old_nu);
        if (i != U2I(old_nu + 1)) {
          const uint32_t ptr = AllocUnits(i + 1);
          if (!ptr) {
            Restart();
            return;
          }
          const uint32_t old_ptr = c->stats;
          std::memcpy(Ptr(ptr), Ptr(old_ptr), U2B(old_nu));
          InsertNode(old_ptr, i);
          c->stats = ptr;
        }
      }
      c->summ_freq = uint16_t(c->summ_freq + (2 * ns1 < ns) +
                              2 * ((4 * ns1 <= ns) & (c->summ_freq <= 8 * ns1)));
    } else {
      const uint32_t ref = AllocUnits(0);
      if (!ref) {
        Restart();
        return;
      }
      State* s = reinterpret_cast<State*>(Ptr(ref));
      *s = *c->one_state();
      c->stats = ref;
      if (s->freq < kMaxFreq / 4 - 1) {
        s->freq = uint8_t(s->freq << 1);
      } else {
        s->freq = kMaxFreq - 4;
      }
      c->summ_freq = uint16_t(s->freq + init_esc_ + (ns > 3));
    }
    uint32_t cf = 2 * uint32_t(found_state_->freq) * (c->summ_freq + 6u);
    const uint32_t sf = s0 + c->summ_freq;
    if (cf < 6 * sf) {
      cf = 1 + (cf > sf) + (cf >= 4 * sf);
      c->summ_freq = uint16_t(c->summ_freq + 3);
    } else {
      cf = 4 + (cf >= 9 * sf) + (cf >= 12 * sf) + (cf >= 15 * sf);
      c->summ_freq = uint16_t(c->summ_freq + cf);
    }
    State* s = Stats(c) + ns1;
    s->set_successor(successor);
    s->symbol = found_state_->symbol;
    s->freq = uint8_t(cf);
    c->num_stats = uint16_t(ns1 + 1);
  }
  max_context_ = min_context_ = Ctx(f_successor);
}

void Model::Rescale() {
  State* stats = Stats(min_context_);
  State* s = found_state_;
  // Move the found state to the front, then halve all frequencies keeping the order sorted.
  {
    const State tmp = *s;
    for (; s != stats; --s) s[0] = s[-1];
    *s = tmp;
  }
  unsigned esc_freq = min_context_->summ_freq - s->freq;
  s->freq = uint8_t(s->freq + 4);
  const unsigned adder = order_fall_ != 0;
  s->freq = uint8_t((s->freq + adder) >> 1);
  unsigned sum_freq = s->freq;
  unsigned i = min_context_->num_stats - 1;
  do {
    esc_freq -= (++s)->freq;
    s->freq = uint8_t((s->freq + adder) >> 1);
    sum_freq += s->freq;
    if (s[0].freq > s[-1].freq) {
      State* s1 = s;
      const State tmp = *s1;
      do {
        s1[0] = s1[-1];
      } while (--s1 != stats && tmp.freq > s1[-1].freq);
      *s1 = tmp;
    }
  } while (--i);

  if (s->freq == 0) {
    const unsigned num_stats = min_context_->num_stats;
    do {
      ++i;
    } while ((--s)->freq == 0);
    esc_freq += i;
    min_context_->num_stats = uint16_t(min_context_->num_stats - i);
    if (min_context_->num_stats == 1) {
      State tmp = *stats;
      do {
        tmp.freq = uint8_t(tmp.freq - (tmp.freq >> 1));
        esc_freq >>= 1;
      } while (esc_freq > 1);
      InsertNode(Ref(stats), U2I((num_stats + 1) >> 1));
      *(found_state_ = min_context_->one_state()) = tmp;
      return;
    }
    const unsigned n0 = (num_stats + 1) >> 1;
    const unsigned n1 = (min_context_->num_stats + 1u) >> 1;
    if (n0 != n1) min_context_->stats = ShrinkUnits(Ref(stats), n0, n1);
  }
  min_context_->summ_freq = uint16_t(sum_freq + esc_freq - (esc_freq >> 1));
  found_state_ = Stats(min_context_);
}

See* Model::MakeEscFreq(unsigned num_masked, uint32_t* esc_freq) {
  const unsigned num_stats = min_context_->num_stats;
  const unsigned non_masked = num_stats - num_masked;
  if (num_stats == 256) {
    *esc_freq = 1;
    return &dummy_see_;
  }
  See* see = see_[ns_to_index_[non_masked - 1]] +
             (non_masked < unsigned(Suffix(min_context_)->num_stats) - num_stats) +
             2 * unsigned(min_context_->summ_freq < 11 * num_stats) +
             4 * unsigned(num_masked > non_masked) + hi_bits_flag_;
  const unsigned r = see->summ >> see->shift;
  see->summ = uint16_t(see->summ - r);
  *esc_freq = r + (r == 0);
  return see;
}

int Model::DecodeSymbol(RangeDecoder* rc) {
  uint8_t mask[256];  // 0xFF: symbol still possible, 0: already excluded by a longer context
  if (min_context_->num_stats != 1) {
    State* s = Stats(min_context_);
    uint32_t count = rc->Threshold(min_context_->summ_freq);
    uint32_t hi = s->freq;
    if (count < hi) {
      rc->Decode(0, s->freq);
      found_state_ = s;
      const uint8_t symbol = s->symbol;
      Update1First();
      return symbol;
    }
    prev_success_ = 0;
    unsigned i = min_context_->num_stats - 1;
    do {
      if ((hi += (++s)->freq) > count) {
        rc->Decode(hi - s->freq, s->freq);
        found_state_ = s;
        const uint8_t symbol = s->symbol;
        Update1();
        return symbol;
      }
    } while (--i);
    if (count >= min_context_->summ_freq) return -2;
    hi_bits_flag_ = hb_to_flag_[found_state_->symbol];
    rc->Decode(hi, min_context_->summ_freq - hi);
    std::memset(mask, 0xFF, sizeof(mask));
    mask[s->symbol] = 0;
    i = min_context_->num_stats - 1;
    do {
      mask[(--s)->symbol] = 0;
    } while (--i);
  } else {
    State* one = min_context_->one_state();
    hi_bits_flag_ = hb_to_flag_[found_state_->symbol];
    uint16_t* prob = &bin_summ_[one->freq - 1][prev_success_ +
                                               ns_to_bs_index_[Suffix(min_context_)->num_stats - 1] +
                                               hi_bits_flag_ + 2 * hb_to_flag_[one->symbol] +
                                               ((run_length_ >> 26) & 0x20)];
    if (rc->DecodeBit(*prob, kBinScale) == 0) {
      *prob = uint16_t(*prob + (1 << kIntBits) - ((*prob + (1 << (kPeriodBits - 2))) >> kPeriodBits));
      found_state_ = one;
      const uint8_t symbol = one->symbol;
      UpdateBin();
      return symbol;
    }
    *prob = uint16_t(*prob - ((*prob + (1 << (kPeriodBits - 2))) >> kPeriodBits));
    init_esc_ = kExpEscape[*prob >> 10];
    std::memset(mask, 0xFF, sizeof(mask));
    mask[one->symbol] = 0;
    prev_success_ = 0;
  }
  for (;;) {
    State* ps[256];
    const unsigned num_masked = min_context_->num_stats;
    do {
      ++order_fall_;
      if (!min_context_->suffix) return -1;
      min_context_ = Suffix(min_context_);
    } while (min_context_->num_stats == num_masked);
    uint32_t hi = 0;
    State* s = Stats(min_context_);
    unsigned i = 0;
    const unsigned num = min_context_->num_stats - num_masked;
    do {
      const unsigned k = mask[s->symbol];
      hi += s->freq & k;
      ps[i] = s++;
      i += k & 1;
    } while (i != num);
    uint32_t freq_sum;
    See* see = MakeEscFreq(num_masked, &freq_sum);
    freq_sum += hi;
    const uint32_t count = rc->Threshold(freq_sum);
    if (count < hi) {
      State** pps = ps;
      for (hi = 0; (hi += (*pps)->freq) <= count; ++pps) {
      }
      s = *pps;
      rc->Decode(hi - s->freq, s->freq);
      see->Update();
      found_state_ = s;
      const uint8_t symbol = s->symbol;
      Update2();
      return symbol;
    }
    if (count >= freq_sum) return -2;
    rc->Decode(hi, freq_sum - hi);
    see->summ = uint16_t(see->summ + freq_sum);
    do {
      mask[ps[--i]->symbol] = 0;
    } while (i != 0);
  }
}

class PpmdDecoder : public InStream {
 public:
  PpmdDecoder(std::unique_ptr<InStream> input, std::unique_ptr<Model> model, unsigned order,
              uint64_t unpack_size)
      : input_(std::move(input)), model_(std::move(model)), rc_(input_.get()), order_(order),
        remaining_(unpack_size) {}

  Result Read(uint8_t* out, size_t size, size_t* got) override {
    *got = 0;
    if (error_ != Result::kOk) return error_;
    if (!started_) {
      started_ = true;
      if (!rc_.Init()) return error_ = rc_.error() != Result::kOk ? rc_.error() : Result::kDataError;
      model_->Init(order_);
    }
    size_t n = 0;
    while (n < size && remaining_ > 0) {
      const int sym = model_->DecodeSymbol(&rc_);
      if (sym < 0 || rc_.overrun() > 4) {
        // The end mark before the expected size, malformed data, or data made up past the input.
        return error_ = rc_.error() != Result::kOk ? rc_.error() : Result::kDataError;
      }
      out[n++] = uint8_t(sym);
      --remaining_;
    }
    if (rc_.error() != Result::kOk) return error_ = rc_.error();
    *got = n;
    return Result::kOk;
  }

 private:
  std::unique_ptr<InStream> input_;
  std::unique_ptr<Model> model_;
  RangeDecoder rc_;
  unsigned order_;
  uint64_t remaining_;
  bool started_ = false;
  Result error_ = Result::kOk;
};

}  // namespace

std::unique_ptr<InStream> MakePpmdDecoder(std::unique_ptr<InStream> input,
                                          const std::vector<uint8_t>& props, uint64_t unpack_size,
                                          Result* result) {
  *result = Result::kUnsupported;
  if (!input || props.size() != 5) return nullptr;
  const unsigned order = props[0];
  const uint32_t mem = uint32_t(props[1]) | uint32_t(props[2]) << 8 | uint32_t(props[3]) << 16 |
                       uint32_t(props[4]) << 24;
  if (order < 2 || order > kMaxOrder || mem < (1u << 11) || mem > 0xFFFFFFFFu - 12 * 3)
    return nullptr;
  if (mem > kMaxDictionaryBytes) {
    *result = Result::kOutOfMemory;
    return nullptr;
  }
  std::unique_ptr<Model> model(new (std::nothrow) Model());
  if (!model || !model->Allocate(mem)) {
    *result = Result::kOutOfMemory;
    return nullptr;
  }
  *result = Result::kOk;
  return std::make_unique<PpmdDecoder>(std::move(input), std::move(model), order, unpack_size);
}

}  // namespace sz
