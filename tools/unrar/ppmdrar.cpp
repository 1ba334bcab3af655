// The model is Dmitry Shkarin's PPMd var.H; this port follows Igor Pavlov's public-domain
// implementation of it. The range coder is the carry-less one (Dmitry Subbotin's) that RAR pairs
// with it.
//
// The model keeps all its records in one heap and links them by 32-bit offsets into it, as
// RAR's own does: which allocation fails, and so when the model restarts, depends on how the
// heap is cut up, and the bytes decode right only if that happens where the packer's model had
// it happen. So the sub-allocator below (12-byte units, free lists by size, gluing of free
// blocks) keeps the exact order of the original.
//
// Damaged data can only steer the decoder to a different (valid) symbol or to a count outside
// the range; the checks below turn the latter, and anything that would leave the heap, into -1.
#include "tools/unrar/ppmdrar.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

constexpr uint32_t kTop = 1u << 24;
constexpr uint32_t kBot = 1u << 15;
constexpr unsigned kIntBits = 7;
constexpr unsigned kPeriodBits = 7;
constexpr uint32_t kBinScale = 1u << (kIntBits + kPeriodBits);
constexpr unsigned kMaxOrder = 64;
constexpr unsigned kUnitSize = 12;
constexpr unsigned kMaxFreq = 124;
// Free-list sizes: 1-4 units one by one, then by 2, by 3 and by 4 up to 128 units.
constexpr unsigned kIndexCount = 4 + 4 + 4 + 26;

constexpr uint16_t kInitBinEsc[8] = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3,
                                     0x64A1, 0x5ABC, 0x6632, 0x6051};
constexpr uint8_t kExpEscape[16] = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};

// One symbol of a context. The successor is kept in two halves because a one-symbol context
// stores its state at offset 2 of its own record, where only 2-byte alignment holds.
struct State {
    uint8_t symbol;
    uint8_t freq;
    uint16_t successorLow;
    uint16_t successorHigh;

    uint32_t Successor() const { return successorLow | uint32_t(successorHigh) << 16; }
    void SetSuccessor(uint32_t ref) {
        successorLow = uint16_t(ref);
        successorHigh = uint16_t(ref >> 16);
    }
};

struct Context {
    uint16_t numStats;
    uint16_t summFreq; // with one symbol its State starts here, over summFreq and stats
    uint32_t stats;
    uint32_t suffix;
};

// Secondary escape estimation for contexts some of whose symbols are masked.
struct See {
    uint16_t summ;
    uint8_t shift; // low shift: fast adaptation
    uint8_t count; // symbols to the next slower adaptation

    void Update() {
        if (shift < kPeriodBits && --count == 0) {
            summ = uint16_t(summ << 1);
            count = uint8_t(3 << shift++);
        }
    }
};

// A free block while the free lists are glued. `stamp` overlays a context's numStats or a
// state's symbol and freq, never 0 in a used unit, so 0 marks a free one.
struct Node {
    uint16_t stamp;
    uint16_t nu;
    uint32_t next;
    uint32_t prev;
};

static_assert(sizeof(State) == 6 && sizeof(Context) == kUnitSize && sizeof(Node) == kUnitSize);

uint32_t Mean(uint32_t prob) {
    return (prob + (1u << (kPeriodBits - 2))) >> kPeriodBits;
}

struct FreeDeleter {
    void operator()(uint8_t* p) const { std::free(p); }
};

} // namespace

struct RarPpmd::Model {
    Model();

    bool Allocate(uint32_t bytes);
    void Release();
    void Init(unsigned order);
    void StartDecoder(BitInput& in);
    int DecodeSymbol(BitInput& in);

    // Heap offsets and pointers.
    uint32_t Ref(const void* p) const { return uint32_t(static_cast<const uint8_t*>(p) - base_); }
    template <class T> T* At(uint32_t ref) const { return reinterpret_cast<T*>(base_ + ref); }
    Context* Ctx(uint32_t ref) const { return At<Context>(ref); }
    State* Stats(const Context* c) const { return At<State>(c->stats); }
    static State* OneState(Context* c) { return reinterpret_cast<State*>(&c->summFreq); }
    bool InUnits(uint32_t ref, uint32_t bytes) const {
        return ref >= Ref(unitsStart_) && ref <= end_ && end_ - ref >= bytes;
    }
    bool Usable(const Context* c) const;
    unsigned U2I(unsigned nu) const { return units2Indx_[nu - 1]; }
    unsigned I2U(unsigned index) const { return indx2Units_[index]; }

    // Sub-allocator.
    void InsertNode(void* node, unsigned index);
    void* RemoveNode(unsigned index);
    void SplitBlock(void* block, unsigned oldIndex, unsigned newIndex);
    void GlueFreeBlocks();
    void* AllocUnitsRare(unsigned index);
    void* AllocUnits(unsigned index);
    Context* AllocContext();

    // Model.
    void Restart();
    State* FindSymbol(Context* c, unsigned symbol);
    Context* CreateSuccessors();
    void UpdateModel();
    void Rescale();
    See* MakeEscFreq(unsigned numMasked, uint32_t* escFreq);
    void NextContext();
    void Update1();
    void Update1First();
    void UpdateBin();
    void Update2();
    uint16_t* BinSumm();

    // Range decoder.
    uint32_t Threshold(uint32_t total) { return (code_ - low_) / (range_ /= total); }
    void Decode(uint32_t start, uint32_t size, BitInput& in) {
        low_ += start * range_;
        range_ *= size;
        Normalize(in);
    }
    void Normalize(BitInput& in) {
        // Carry-less: where the interval would straddle a top-byte boundary and is too narrow,
        // it is cut at the boundary (Range stays above 0, so this ends within a few bytes).
        for (;;) {
            if ((low_ ^ (low_ + range_)) >= kTop) {
                if (range_ >= kBot)
                    break;
                range_ = (0u - low_) & (kBot - 1);
            }
            code_ = (code_ << 8) | in.Byte();
            range_ <<= 8;
            low_ <<= 8;
        }
    }

    std::unique_ptr<uint8_t[], FreeDeleter> heap_;
    uint8_t* base_ = nullptr;
    uint32_t size_ = 0;
    uint32_t pad_ = 0; // so that offset 0 is never a record and the units end 4-aligned
    uint32_t end_ = 0; // offset of the end of the heap
    uint8_t* text_ = nullptr;
    uint8_t* unitsStart_ = nullptr;
    uint8_t* loUnit_ = nullptr;
    uint8_t* hiUnit_ = nullptr;
    uint32_t glueCount_ = 0;
    std::array<uint32_t, kIndexCount> freeList_{};

    std::array<uint8_t, kIndexCount> indx2Units_{};
    std::array<uint8_t, 128> units2Indx_{};
    std::array<uint8_t, 256> ns2Indx_{};
    std::array<uint8_t, 256> ns2BSIndx_{};
    std::array<uint8_t, 256> hb2Flag_{};
    See dummySee_{};
    See see_[25][16]{};
    uint16_t binSumm_[128][64]{};

    Context* minContext_ = nullptr;
    Context* maxContext_ = nullptr;
    State* foundState_ = nullptr;
    unsigned orderFall_ = 0, initEsc_ = 0, prevSuccess_ = 0, maxOrder_ = 0, hiBitsFlag_ = 0;
    int32_t runLength_ = 0, initRL_ = 0;

    uint32_t low_ = 0, code_ = 0, range_ = 0;

    bool ready_ = false;   // a model was started and its data has not gone bad since
    bool damaged_ = false; // the model's records contradict each other
};

RarPpmd::Model::Model() {
    for (unsigned i = 0, k = 0; i < kIndexCount; ++i) {
        unsigned step = i >= 12 ? 4 : (i >> 2) + 1;
        do
            units2Indx_[k++] = uint8_t(i);
        while (--step);
        indx2Units_[i] = uint8_t(k);
    }
    ns2BSIndx_[0] = 0 << 1;
    ns2BSIndx_[1] = 1 << 1;
    std::fill(ns2BSIndx_.begin() + 2, ns2BSIndx_.begin() + 11, uint8_t(2 << 1));
    std::fill(ns2BSIndx_.begin() + 11, ns2BSIndx_.end(), uint8_t(3 << 1));
    unsigned i = 0;
    for (; i < 3; ++i)
        ns2Indx_[i] = uint8_t(i);
    for (unsigned m = i, k = 1; i < 256; ++i) {
        ns2Indx_[i] = uint8_t(m);
        if (--k == 0)
            k = ++m - 2;
    }
    for (unsigned symbol = 0; symbol < 256; ++symbol)
        hb2Flag_[symbol] = symbol < 0x40 ? 0 : 8;
}

bool RarPpmd::Model::Allocate(uint32_t bytes) {
    if (heap_ && size_ == bytes)
        return true;
    Release();
    pad_ = 4 - (bytes & 3);
    // calloc: the pages of a large heap are only touched as the model grows into them.
    heap_.reset(static_cast<uint8_t*>(std::calloc(size_t(pad_) + bytes, 1)));
    if (!heap_)
        return false;
    base_ = heap_.get();
    size_ = bytes;
    end_ = pad_ + bytes;
    return true;
}

void RarPpmd::Model::Release() {
    heap_.reset();
    base_ = nullptr;
    size_ = 0;
    ready_ = false;
}

bool RarPpmd::Model::Usable(const Context* c) const {
    uint32_t ref = Ref(c);
    if (!InUnits(ref, kUnitSize) || c->numStats == 0 || c->numStats > 256)
        return false;
    return c->numStats == 1 || InUnits(c->stats, uint32_t(c->numStats) * sizeof(State));
}

// ---- Sub-allocator ----

void RarPpmd::Model::InsertNode(void* node, unsigned index) {
    *static_cast<uint32_t*>(node) = freeList_[index];
    freeList_[index] = Ref(node);
}

void* RarPpmd::Model::RemoveNode(unsigned index) {
    uint32_t* node = At<uint32_t>(freeList_[index]);
    freeList_[index] = *node;
    return node;
}

// Gives back the tail of a block cut down from oldIndex to newIndex units.
void RarPpmd::Model::SplitBlock(void* block, unsigned oldIndex, unsigned newIndex) {
    unsigned nu = I2U(oldIndex) - I2U(newIndex);
    uint8_t* tail = static_cast<uint8_t*>(block) + I2U(newIndex) * kUnitSize;
    unsigned i = U2I(nu);
    if (I2U(i) != nu) {
        unsigned k = I2U(--i);
        InsertNode(tail + k * kUnitSize, nu - k - 1);
    }
    InsertNode(tail, i);
}

// Merges neighbouring free blocks and files them again by size: the list is built, glued and
// refilled in the original's order, since the order decides which blocks later come first.
void RarPpmd::Model::GlueFreeBlocks() {
    glueCount_ = 255;
    // A used stamp where the free area starts, so that no block glues across it.
    if (loUnit_ != hiUnit_)
        reinterpret_cast<Node*>(loUnit_)->stamp = 1;

    uint32_t head = 0;
    for (unsigned i = 0; i < kIndexCount; ++i) {
        uint16_t nu = I2U(i);
        uint32_t next = freeList_[i];
        freeList_[i] = 0;
        while (next != 0) {
            Node* node = At<Node>(next);
            uint32_t ref = next;
            next =
                *reinterpret_cast<uint32_t*>(node); // the free-list link, before it is overwritten
            node->stamp = 0;
            node->nu = nu;
            node->next = head;
            head = ref;
        }
    }

    uint32_t* prev = &head;
    for (uint32_t n = head; n != 0;) {
        Node* node = At<Node>(n);
        uint32_t nu = node->nu;
        n = node->next;
        if (nu == 0) { // glued into the block before it
            *prev = n;
            continue;
        }
        prev = &node->next;
        for (;;) {
            Node* after = node + nu;
            nu += after->nu;
            if (after->stamp != 0 || nu >= 0x10000)
                break;
            node->nu = uint16_t(nu);
            after->nu = 0;
        }
    }

    for (uint32_t n = head; n != 0;) {
        Node* node = At<Node>(n);
        unsigned nu = node->nu;
        n = node->next;
        if (nu == 0)
            continue;
        for (; nu > 128; nu -= 128, node += 128)
            InsertNode(node, kIndexCount - 1);
        unsigned i = U2I(nu);
        if (I2U(i) != nu) {
            unsigned k = I2U(--i);
            InsertNode(node + k, nu - k - 1);
        }
        InsertNode(node, i);
    }
}

void* RarPpmd::Model::AllocUnitsRare(unsigned index) {
    if (glueCount_ == 0) {
        GlueFreeBlocks();
        if (freeList_[index] != 0)
            return RemoveNode(index);
    }
    unsigned i = index;
    do {
        if (++i == kIndexCount) {
            // Last resort: the gap between the text and the units.
            uint32_t bytes = I2U(index) * kUnitSize;
            glueCount_--;
            if (uint32_t(unitsStart_ - text_) > bytes)
                return unitsStart_ -= bytes;
            return nullptr;
        }
    } while (freeList_[i] == 0);
    void* block = RemoveNode(i);
    SplitBlock(block, i, index);
    return block;
}

void* RarPpmd::Model::AllocUnits(unsigned index) {
    if (freeList_[index] != 0)
        return RemoveNode(index);
    uint32_t bytes = I2U(index) * kUnitSize;
    if (uint32_t(hiUnit_ - loUnit_) >= bytes) {
        void* block = loUnit_;
        loUnit_ += bytes;
        return block;
    }
    return AllocUnitsRare(index);
}

Context* RarPpmd::Model::AllocContext() {
    if (hiUnit_ != loUnit_)
        return reinterpret_cast<Context*>(hiUnit_ -= kUnitSize);
    if (freeList_[0] != 0)
        return static_cast<Context*>(RemoveNode(0));
    return static_cast<Context*>(AllocUnitsRare(0));
}

// ---- Model ----

void RarPpmd::Model::Init(unsigned order) {
    maxOrder_ = order;
    damaged_ = false;
    Restart();
    dummySee_.shift = kPeriodBits;
    dummySee_.summ = 0;
    dummySee_.count = 64;
}

// The model as at the start: the text area empty, one order-0 context of all 256 symbols.
void RarPpmd::Model::Restart() {
    freeList_.fill(0);
    text_ = base_ + pad_;
    hiUnit_ = text_ + size_;
    loUnit_ = unitsStart_ = hiUnit_ - size_ / 8 / kUnitSize * 7 * kUnitSize;
    glueCount_ = 0;

    orderFall_ = maxOrder_;
    runLength_ = initRL_ = -int32_t(std::min(maxOrder_, 12u)) - 1;
    prevSuccess_ = 0;

    hiUnit_ -= kUnitSize;
    Context* root = reinterpret_cast<Context*>(hiUnit_);
    State* s = reinterpret_cast<State*>(loUnit_);
    loUnit_ += 256 / 2 * kUnitSize;
    minContext_ = maxContext_ = root;
    foundState_ = s;
    root->numStats = 256;
    root->summFreq = 256 + 1;
    root->stats = Ref(s);
    root->suffix = 0;
    for (unsigned i = 0; i < 256; ++i) {
        s[i].symbol = uint8_t(i);
        s[i].freq = 1;
        s[i].SetSuccessor(0);
    }

    for (unsigned i = 0; i < 128; ++i)
        for (unsigned k = 0; k < 8; ++k) {
            uint16_t value = uint16_t(kBinScale - kInitBinEsc[k] / (i + 2));
            for (unsigned m = 0; m < 64; m += 8)
                binSumm_[i][k + m] = value;
        }
    for (unsigned i = 0; i < 25; ++i)
        for (See& see : see_[i]) {
            see.shift = kPeriodBits - 4;
            see.summ = uint16_t((5 * i + 10) << see.shift);
            see.count = 4;
        }
}

// The state of `symbol` in a context that must hold it; a context without it means the
// records are corrupt.
State* RarPpmd::Model::FindSymbol(Context* c, unsigned symbol) {
    if (c->numStats == 1) {
        State* s = OneState(c);
        if (s->symbol == symbol)
            return s;
    } else {
        State* s = Stats(c);
        for (unsigned i = 0; i < c->numStats; ++i)
            if (s[i].symbol == symbol)
                return &s[i];
    }
    damaged_ = true;
    return nullptr;
}

// The found state's successor points into the text: makes real contexts for it, one order
// above each suffix context whose same symbol points to the same text, and links them.
Context* RarPpmd::Model::CreateSuccessors() {
    Context* c = minContext_;
    uint32_t upBranch = foundState_->Successor();
    State* ps[kMaxOrder];
    unsigned numPs = 0;
    if (orderFall_ != 0)
        ps[numPs++] = foundState_;
    while (c->suffix) {
        c = Ctx(c->suffix);
        State* s = FindSymbol(c, foundState_->symbol);
        if (!s)
            return nullptr;
        uint32_t successor = s->Successor();
        if (successor != upBranch) {
            c = Ctx(successor);
            if (numPs == 0)
                return c;
            break;
        }
        if (numPs == kMaxOrder) { // deeper than any order: the suffix links are corrupt
            damaged_ = true;
            return nullptr;
        }
        ps[numPs++] = s;
    }
    if (numPs == 0 || upBranch == 0 || upBranch >= Ref(unitsStart_) || !Usable(c)) {
        damaged_ = true;
        return nullptr;
    }

    uint8_t newSymbol = base_[upBranch];
    uint32_t newSuccessor = upBranch + 1;
    uint8_t newFreq;
    if (c->numStats == 1) {
        newFreq = OneState(c)->freq;
    } else {
        State* s = FindSymbol(c, newSymbol);
        if (!s)
            return nullptr;
        uint32_t cf = uint32_t(s->freq) - 1;
        uint32_t s0 = uint32_t(c->summFreq) - c->numStats - cf;
        if (2 * cf <= s0) {
            newFreq = uint8_t(1 + (5 * cf > s0));
        } else if (s0 != 0) {
            newFreq = uint8_t(1 + (2 * cf + 3 * s0 - 1) / (2 * s0));
        } else { // the other symbols and the escape count add up to nothing: corrupt
            damaged_ = true;
            return nullptr;
        }
    }

    do {
        Context* child = AllocContext();
        if (!child)
            return nullptr;
        child->numStats = 1;
        State* one = OneState(child);
        one->symbol = newSymbol;
        one->freq = newFreq;
        one->SetSuccessor(newSuccessor);
        child->suffix = Ref(c);
        ps[--numPs]->SetSuccessor(Ref(child));
        c = child;
    } while (numPs != 0);
    return c;
}

void RarPpmd::Model::UpdateModel() {
    const unsigned symbol = foundState_->symbol;
    const unsigned foundFreq = foundState_->freq;

    // The symbol grows in the context one order below as well.
    if (foundFreq < kMaxFreq / 4 && minContext_->suffix != 0) {
        Context* c = Ctx(minContext_->suffix);
        if (c->numStats == 1) {
            State* s = OneState(c);
            if (s->freq < 32)
                s->freq++;
        } else {
            State* s = FindSymbol(c, symbol);
            if (!s)
                return;
            if (s != Stats(c) && s[0].freq >= s[-1].freq) {
                std::swap(s[0], s[-1]);
                s--;
            }
            if (s->freq < kMaxFreq - 9) {
                s->freq = uint8_t(s->freq + 2);
                c->summFreq = uint16_t(c->summFreq + 2);
            }
        }
    }

    if (orderFall_ == 0) {
        minContext_ = maxContext_ = CreateSuccessors();
        if (!minContext_) {
            Restart();
            return;
        }
        foundState_->SetSuccessor(Ref(minContext_));
        return;
    }

    *text_++ = uint8_t(symbol);
    uint32_t maxSuccessor = Ref(text_);
    if (text_ >= unitsStart_) {
        Restart();
        return;
    }

    uint32_t minSuccessor = foundState_->Successor();
    if (minSuccessor) {
        if (minSuccessor <= maxSuccessor) { // it points into the text: make its contexts
            Context* cs = CreateSuccessors();
            if (!cs) {
                Restart();
                return;
            }
            minSuccessor = Ref(cs);
        }
        if (--orderFall_ == 0) {
            maxSuccessor = minSuccessor;
            text_ -= (maxContext_ != minContext_);
        }
    } else {
        // Only the order-0 context has states without a successor: point them at the text.
        foundState_->SetSuccessor(maxSuccessor);
        minSuccessor = Ref(minContext_);
    }

    Context* mc = minContext_;
    Context* c = maxContext_;
    minContext_ = maxContext_ = Ctx(minSuccessor);
    if (c == mc)
        return;

    // The symbol is new in every context from the one it was escaped from down to the one it
    // was found in: add it there, with a frequency guessed from how it fared where it was found.
    const unsigned ns = mc->numStats;
    const uint32_t s0 = uint32_t(mc->summFreq) - ns - (foundFreq - 1);
    unsigned steps = 0;
    do {
        if (++steps > kMaxOrder + 1 || !Usable(c)) {
            damaged_ = true;
            return;
        }
        unsigned ns1 = c->numStats;
        uint32_t sum;
        if (ns1 != 1) {
            if ((ns1 & 1) == 0) { // the states fill their units: move them to one more unit
                unsigned oldNu = ns1 >> 1;
                unsigned i = U2I(oldNu);
                if (i != U2I(oldNu + 1)) {
                    void* block = AllocUnits(i + 1);
                    if (!block) {
                        Restart();
                        return;
                    }
                    State* old = Stats(c);
                    std::memcpy(block, old, oldNu * kUnitSize);
                    InsertNode(old, i);
                    c->stats = Ref(block);
                }
            }
            sum = c->summFreq;
            sum += uint32_t(2 * ns1 < ns) + 2 * uint32_t((4 * ns1 <= ns) & (sum <= 8 * ns1));
        } else {
            State* s = static_cast<State*>(AllocUnits(0));
            if (!s) {
                Restart();
                return;
            }
            *s = *OneState(c);
            c->stats = Ref(s);
            unsigned freq = s->freq;
            freq = freq < kMaxFreq / 4 - 1 ? freq * 2 : kMaxFreq - 4;
            s->freq = uint8_t(freq);
            sum = freq + initEsc_ + (ns > 3);
        }
        uint32_t cf = 2 * (sum + 6) * foundFreq;
        uint32_t sf = s0 + sum;
        if (cf < 6 * sf) {
            cf = 1 + (cf > sf) + (cf >= 4 * sf);
            sum += 3;
        } else {
            cf = 4 + (cf >= 9 * sf) + (cf >= 12 * sf) + (cf >= 15 * sf);
            sum += cf;
        }
        State* s = Stats(c) + ns1;
        s->symbol = uint8_t(symbol);
        s->freq = uint8_t(cf);
        s->SetSuccessor(maxSuccessor);
        c->numStats = uint16_t(ns1 + 1);
        c->summFreq = uint16_t(sum);
        c = Ctx(c->suffix);
    } while (c != mc);
}

// Halves the frequencies of the current context when one grew too large, keeps the states
// sorted by frequency and drops those that fell to 0 (only at the highest order).
void RarPpmd::Model::Rescale() {
    Context* mc = minContext_;
    State* stats = Stats(mc);
    State* s = foundState_;
    if (s != stats) {
        State found = *s;
        for (; s != stats; --s)
            s[0] = s[-1];
        *s = found;
    }
    unsigned escFreq = mc->summFreq - s->freq;
    unsigned adder = orderFall_ != 0;
    unsigned sumFreq = (s->freq + 4 + adder) >> 1;
    s->freq = uint8_t(sumFreq);

    unsigned i = mc->numStats - 1;
    do {
        unsigned freq = (++s)->freq;
        escFreq -= freq;
        freq = (freq + adder) >> 1;
        sumFreq += freq;
        s->freq = uint8_t(freq);
        if (freq > s[-1].freq) {
            State moved = *s;
            State* to = s;
            do
                to[0] = to[-1];
            while (--to != stats && freq > to[-1].freq);
            *to = moved;
        }
    } while (--i);

    if (s->freq == 0) {
        unsigned removed = 0;
        do
            removed++;
        while ((--s)->freq == 0);
        escFreq += removed;
        unsigned numStats = mc->numStats;
        unsigned numStatsNew = numStats - removed;
        mc->numStats = uint16_t(numStatsNew);
        unsigned n0 = (numStats + 1) >> 1;
        if (numStatsNew == 1) {
            unsigned freq = stats->freq;
            do {
                escFreq >>= 1;
                freq = (freq + 1) >> 1;
            } while (escFreq > 1);
            State* one = OneState(mc);
            *one = *stats;
            one->freq = uint8_t(freq);
            foundState_ = one;
            InsertNode(stats, U2I(n0));
            return;
        }
        unsigned n1 = (numStatsNew + 1) >> 1;
        if (n0 != n1) {
            unsigned i0 = U2I(n0), i1 = U2I(n1);
            if (i0 != i1) {
                if (freeList_[i1] != 0) {
                    void* block = RemoveNode(i1);
                    mc->stats = Ref(block);
                    std::memcpy(block, stats, n1 * kUnitSize);
                    InsertNode(stats, i0);
                } else {
                    SplitBlock(stats, i0, i1);
                }
            }
        }
    }
    mc->summFreq = uint16_t(sumFreq + escFreq - (escFreq >> 1));
    foundState_ = Stats(mc);
}

See* RarPpmd::Model::MakeEscFreq(unsigned numMasked, uint32_t* escFreq) {
    const Context* mc = minContext_;
    unsigned numStats = mc->numStats;
    if (numStats == 256) {
        *escFreq = 1;
        return &dummySee_;
    }
    unsigned nonMasked = numStats - numMasked;
    See* see = &see_[ns2Indx_[nonMasked - 1]]
                    [(nonMasked < unsigned(Ctx(mc->suffix)->numStats) - numStats) +
                     2 * unsigned(mc->summFreq < 11 * numStats) +
                     4 * unsigned(numMasked > nonMasked) + hiBitsFlag_];
    unsigned r = see->summ >> see->shift;
    see->summ = uint16_t(see->summ - r);
    *escFreq = r + (r == 0);
    return see;
}

void RarPpmd::Model::NextContext() {
    Context* c = Ctx(foundState_->Successor());
    if (orderFall_ == 0 && reinterpret_cast<uint8_t*>(c) > text_)
        minContext_ = maxContext_ = c;
    else
        UpdateModel();
}

// Found at a later place of a context's list.
void RarPpmd::Model::Update1() {
    State* s = foundState_;
    s->freq = uint8_t(s->freq + 4);
    minContext_->summFreq = uint16_t(minContext_->summFreq + 4);
    if (s[0].freq > s[-1].freq) {
        std::swap(s[0], s[-1]);
        foundState_ = --s;
        if (s->freq > kMaxFreq)
            Rescale();
    }
    NextContext();
}

// Found first in a context's list.
void RarPpmd::Model::Update1First() {
    State* s = foundState_;
    prevSuccess_ = 2u * s->freq > minContext_->summFreq;
    runLength_ = int32_t(uint32_t(runLength_) + prevSuccess_);
    minContext_->summFreq = uint16_t(minContext_->summFreq + 4);
    s->freq = uint8_t(s->freq + 4);
    if (s->freq > kMaxFreq)
        Rescale();
    NextContext();
}

// Found in a one-symbol context.
void RarPpmd::Model::UpdateBin() {
    State* s = foundState_;
    s->freq = uint8_t(s->freq + (s->freq < 128));
    prevSuccess_ = 1;
    runLength_ = int32_t(uint32_t(runLength_) + 1);
    NextContext();
}

// Found after escapes.
void RarPpmd::Model::Update2() {
    State* s = foundState_;
    minContext_->summFreq = uint16_t(minContext_->summFreq + 4);
    s->freq = uint8_t(s->freq + 4);
    if (s->freq > kMaxFreq)
        Rescale();
    runLength_ = initRL_;
    UpdateModel();
}

// The probability of a one-symbol context's symbol, by its frequency, the previous symbol and
// the context below.
uint16_t* RarPpmd::Model::BinSumm() {
    const State* one = OneState(minContext_);
    hiBitsFlag_ = hb2Flag_[foundState_->symbol];
    return &binSumm_[one->freq - 1]
                    [prevSuccess_ + ns2BSIndx_[Ctx(minContext_->suffix)->numStats - 1] +
                     hiBitsFlag_ + 2 * hb2Flag_[one->symbol] + ((runLength_ >> 26) & 0x20)];
}

void RarPpmd::Model::StartDecoder(BitInput& in) {
    low_ = 0;
    code_ = 0;
    range_ = 0xFFFFFFFF;
    for (int i = 0; i < 4; ++i)
        code_ = (code_ << 8) | in.Byte();
}

int RarPpmd::Model::DecodeSymbol(BitInput& in) {
    std::array<uint8_t, 256> mask; // 0xff: the symbol can still come, 0: escaped from already
    if (!Usable(minContext_))
        return -1;
    if (minContext_->numStats != 1) {
        State* s = Stats(minContext_);
        uint32_t summFreq = minContext_->summFreq;
        if (summFreq == 0 || summFreq > range_)
            return -1;
        uint32_t count = Threshold(summFreq);
        uint32_t hiCnt = s->freq;
        if (count < hiCnt) {
            Decode(0, s->freq, in);
            foundState_ = s;
            unsigned symbol = s->symbol;
            Update1First();
            return int(symbol);
        }
        prevSuccess_ = 0;
        for (unsigned i = minContext_->numStats - 1; i != 0; --i) {
            ++s;
            hiCnt += s->freq;
            if (hiCnt > count) {
                Decode(hiCnt - s->freq, s->freq, in);
                foundState_ = s;
                unsigned symbol = s->symbol;
                Update1();
                return int(symbol);
            }
        }
        if (count >= summFreq)
            return -1;
        hiBitsFlag_ = hb2Flag_[foundState_->symbol];
        Decode(hiCnt, summFreq - hiCnt, in);
        mask.fill(0xff);
        const State* stats = Stats(minContext_);
        for (unsigned i = 0; i < minContext_->numStats; ++i)
            mask[stats[i].symbol] = 0;
    } else {
        State* s = OneState(minContext_);
        if (s->freq == 0 || s->freq > 128 || minContext_->suffix == 0 ||
            !Usable(Ctx(minContext_->suffix)))
            return -1;
        uint16_t* prob = BinSumm();
        uint32_t size0 = *prob;
        range_ >>= kIntBits + kPeriodBits;
        if ((code_ - low_) / range_ < size0) {
            *prob = uint16_t(size0 + (1u << kIntBits) - Mean(size0));
            range_ *= size0;
            Normalize(in);
            foundState_ = s;
            unsigned symbol = s->symbol;
            UpdateBin();
            return int(symbol);
        }
        *prob = uint16_t(size0 - Mean(size0));
        initEsc_ = kExpEscape[*prob >> 10];
        low_ += size0 * range_;
        range_ *= kBinScale - size0;
        Normalize(in);
        mask.fill(0xff);
        mask[s->symbol] = 0;
        prevSuccess_ = 0;
    }

    // Escaped: down the suffix contexts, each without the symbols ruled out above it.
    for (unsigned steps = 0;;) {
        unsigned numMasked = minContext_->numStats;
        Context* mc = minContext_;
        do {
            orderFall_++;
            if (!mc->suffix)
                return -1;               // escaped from order 0: no symbol left
            if (++steps > kMaxOrder + 1) // more suffixes than orders: the links are corrupt
                return -1;
            mc = Ctx(mc->suffix);
            if (!Usable(mc) || mc->numStats < numMasked)
                return -1;
        } while (mc->numStats == numMasked);
        minContext_ = mc;

        // The masked symbols count 0 (mask 0), the others their frequency (mask 0xff).
        State* stats = Stats(mc);
        const unsigned numStats = mc->numStats;
        uint32_t hiCnt = 0;
        for (unsigned i = 0; i < numStats; ++i)
            hiCnt += stats[i].freq & mask[stats[i].symbol];

        uint32_t freqSum;
        See* see = MakeEscFreq(numMasked, &freqSum);
        freqSum += hiCnt;
        if (freqSum > range_)
            return -1;
        uint32_t count = Threshold(freqSum);
        if (count < hiCnt) {
            State* s = stats;
            uint32_t upTo = s->freq & mask[s->symbol];
            while (upTo <= count) { // ends within the states: count < hiCnt
                ++s;
                upTo += s->freq & mask[s->symbol];
            }
            Decode(upTo - s->freq, s->freq, in);
            see->Update();
            foundState_ = s;
            unsigned symbol = s->symbol;
            Update2();
            return int(symbol);
        }
        if (count >= freqSum)
            return -1;
        Decode(hiCnt, freqSum - hiCnt, in);
        see->summ = uint16_t(see->summ + freqSum);
        for (unsigned i = 0; i < numStats; ++i)
            mask[stats[i].symbol] = 0;
    }
}

// ---- RarPpmd ----

RarPpmd::RarPpmd() = default;
RarPpmd::~RarPpmd() = default;

bool RarPpmd::StartBlock(BitInput& in, int& escape) {
    if (!model_)
        model_ = std::make_unique<Model>();
    Model& m = *model_;
    unsigned flags = in.Byte();
    bool fresh = (flags & 0x20) != 0;
    unsigned maxMB = 0;
    if (fresh)
        maxMB = in.Byte();
    else if (!m.ready_)
        return false;
    if (flags & 0x40)
        escape = int(in.Byte());
    m.StartDecoder(in);
    if (fresh) {
        m.ready_ = false;
        unsigned order = (flags & 0x1f) + 1;
        if (order > 16)
            order = 16 + (order - 16) * 3;
        if (order == 1) { // no model: RAR frees it, and a later block needs a fresh one
            m.Release();
            return false;
        }
        if (!m.Allocate((maxMB + 1) << 20))
            return false;
        m.Init(order);
        m.ready_ = true;
    }
    return !in.overrun();
}

int RarPpmd::DecodeChar(BitInput& in) {
    if (!model_ || !model_->ready_)
        return -1;
    int symbol = model_->DecodeSymbol(in);
    if (symbol < 0 || model_->damaged_ || in.overrun()) {
        // The model may be half updated: nothing decodes from it until a block starts afresh.
        model_->ready_ = false;
        return -1;
    }
    return symbol;
}

void RarPpmd::Reset() {
    if (model_)
        model_->ready_ = false;
}
