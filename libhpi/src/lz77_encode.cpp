#include "lz77_encode.h"

#include <algorithm>

namespace hpi::detail {
namespace {

constexpr std::size_t kWindow = 4096;
constexpr std::size_t kMinMatch = 2;
constexpr std::size_t kMaxMatch = 17;
// One less than the window: a reference as far back as the whole window would
// make the decoder read and write the same slot, which some decoders get wrong.
constexpr std::size_t kMaxDistance = kWindow - 1;
constexpr int kMaxChain = 64;

// Output byte i lands in window slot (i + 1) % 4096, because the decoder's
// write position starts at 1.
std::size_t window_slot(std::size_t pos)
{
    return (pos + 1) % kWindow;
}

// A copy that starts at slot 0 would read as the end marker, and a copy that
// runs through slot 0 relies on the decoder wrapping its read position; both
// are avoided by stopping a match before the byte that sits in slot 0.
std::size_t longest_allowed_from(std::size_t source)
{
    if (window_slot(source) == 0)
        return 0;
    return kWindow - window_slot(source);
}

// Collects items and their flag bits: a flag byte is opened before every
// group of eight items.
class ItemWriter {
public:
    explicit ItemWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void literal(std::uint8_t c)
    {
        open_item(false);
        out_.push_back(c);
    }
    void reference(std::size_t window_pos, std::size_t length)
    {
        open_item(true);
        unsigned v = unsigned(window_pos) << 4 | unsigned(length - kMinMatch);
        out_.push_back(std::uint8_t(v));
        out_.push_back(std::uint8_t(v >> 8));
    }
    void end_marker()
    {
        open_item(true);
        out_.push_back(0);
        out_.push_back(0);
    }

private:
    void open_item(bool is_reference)
    {
        if (items_ % 8 == 0) {
            flag_index_ = out_.size();
            out_.push_back(0);
        }
        if (is_reference)
            out_[flag_index_] |= std::uint8_t(1u << (items_ % 8));
        ++items_;
    }

    std::vector<std::uint8_t>& out_;
    std::size_t flag_index_ = 0;
    std::size_t items_ = 0;
};

}  // namespace

void Lz77Encoder::remember(std::span<const std::uint8_t> plain, std::size_t pos)
{
    if (pos + 1 >= plain.size())
        return;
    unsigned key = plain[pos] | unsigned(plain[pos + 1]) << 8;
    prev_[pos] = head_[key];
    head_[key] = std::int32_t(pos);
}

Lz77Encoder::Match Lz77Encoder::longest_match(std::span<const std::uint8_t> plain, std::size_t pos) const
{
    Match best;
    if (pos + kMinMatch > plain.size())
        return best;
    const std::size_t limit = std::min(kMaxMatch, plain.size() - pos);
    unsigned key = plain[pos] | unsigned(plain[pos + 1]) << 8;
    int chain = kMaxChain;
    for (std::int32_t cand = head_[key]; cand >= 0 && chain-- > 0; cand = prev_[cand]) {
        std::size_t source = std::size_t(cand);
        if (pos - source > kMaxDistance)
            break;
        std::size_t most = std::min(limit, longest_allowed_from(source));
        std::size_t length = 0;
        while (length < most && plain[source + length] == plain[pos + length])
            ++length;
        if (length > best.length) {
            best = {length, source};
            if (length == limit)
                break;
        }
    }
    if (best.length < kMinMatch)
        best.length = 0;
    return best;
}

void Lz77Encoder::encode(std::span<const std::uint8_t> plain, std::vector<std::uint8_t>& out)
{
    head_.assign(1u << 16, -1);
    prev_.assign(plain.size(), -1);
    out.reserve(out.size() + bound(plain.size()));
    ItemWriter items(out);

    std::size_t pos = 0;
    while (pos < plain.size()) {
        Match here = longest_match(plain, pos);
        if (here.length > 0 && here.length < kMaxMatch) {
            // One step of lazy matching: a longer match at the next byte is
            // worth a literal first.
            remember(plain, pos);
            Match next = longest_match(plain, pos + 1);
            if (next.length > here.length) {
                items.literal(plain[pos]);
                ++pos;
                here = next;
            } else {
                for (std::size_t i = 1; i < here.length; ++i)
                    remember(plain, pos + i);
                items.reference(window_slot(here.source), here.length);
                pos += here.length;
                continue;
            }
        }
        if (here.length == 0) {
            remember(plain, pos);
            items.literal(plain[pos]);
            ++pos;
            continue;
        }
        for (std::size_t i = 0; i < here.length; ++i)
            remember(plain, pos + i);
        items.reference(window_slot(here.source), here.length);
        pos += here.length;
    }
    items.end_marker();
}

}  // namespace hpi::detail
