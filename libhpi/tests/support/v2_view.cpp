#include "support/v2_view.h"

#include "support/v2_builder.h"

#include <libdeflate.h>

#include <algorithm>
#include <numeric>

namespace writer_test {
namespace {

std::uint32_t u32(const Bytes& b, std::size_t at)
{
    if (at + 4 > b.size())
        return 0xFFFFFFFF;
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}

bool inflate(const Bytes& payload, std::size_t plain_size, Bytes& out)
{
    out.assign(plain_size, 0);
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    std::size_t got = 0;
    const auto result =
        libdeflate_zlib_decompress(d, payload.data(), payload.size(), out.data(), out.size(), &got);
    libdeflate_free_decompressor(d);
    return result == LIBDEFLATE_SUCCESS && got == plain_size;
}

std::string folded(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

class Viewer {
public:
    explicit Viewer(const Bytes& a) : a_(a) {}

    V2View run()
    {
        if (a_.size() < 32)
            return fault("shorter than the header"), view_;
        expect(u32(a_, 0) == 0x49504148 && u32(a_, 4) == 0x00020000, "marker or version");
        expect(u32(a_, 24) == 32, "data start not 32");
        expect(u32(a_, 28) == 0, "reserved field not 0");
        const std::uint32_t dir_at = u32(a_, 8), dir_size = u32(a_, 12);
        const std::uint32_t names_at = u32(a_, 16), names_size = u32(a_, 20);
        expect(names_at + std::uint64_t(names_size) == dir_at,
               "names block not right before the directory block");
        expect(dir_at + std::uint64_t(dir_size) == a_.size(), "directory block not at the end");
        if (!block(names_at, names_size, names_, view_.names_raw, "names block") ||
            !block(dir_at, dir_size, dir_, view_.directory_raw, "directory block"))
            return view_;
        if (dir_.size() < 20)
            return fault("no root record"), view_;
        expect(u32(dir_, 0) == 0 && !names_.empty() && names_[0] == 0, "root name not the empty name at 0");
        cursor_ = 20;
        next_name_ = 1;
        folder(0, "");
        expect(cursor_ == dir_.size(), "directory block longer than its records");
        expect(next_name_ == names_.size(), "names block longer than its names");
        std::uint64_t data = 32;
        for (const V2ViewFile& f : view_.files) {
            expect(f.data_start == data, f.path + ": data not right after the previous file's");
            data = f.data_start + std::uint64_t(f.stored_size);
        }
        expect(data == names_at, "names block not right after the data");
        return view_;
    }

private:
    void fault(const std::string& what) { view_.faults.push_back(what); }
    void expect(bool ok, const std::string& what)
    {
        if (!ok)
            fault(what);
    }

    bool block(std::uint32_t at, std::uint32_t size, Bytes& plain, bool& raw, const std::string& what)
    {
        if (at + std::uint64_t(size) > a_.size())
            return fault(what + " past the end"), false;
        const Bytes stored(a_.begin() + at, a_.begin() + at + size);
        raw = u32(stored, 0) != 0x48535153;
        if (raw) {
            plain = stored;
            return true;
        }
        const std::uint32_t payload_size = u32(stored, 7), plain_size = u32(stored, 11);
        expect(stored[4] == 2 && stored[5] == 2 && stored[6] == 1,
               what + ": not an obfuscated zlib chunk of version 2");
        expect(19 + std::uint64_t(payload_size) == size, what + ": chunk does not fill the block");
        Bytes payload(stored.begin() + 19, stored.end());
        expect(std::accumulate(payload.begin(), payload.end(), 0u) == u32(stored, 15),
               what + ": chunk checksum");
        for (std::size_t i = 0; i < payload.size(); ++i)
            payload[i] = std::uint8_t((payload[i] - std::uint8_t(i)) ^ std::uint8_t(i));
        if (!inflate(payload, plain_size, plain))
            return fault(what + ": does not inflate"), false;
        expect(size < plain.size(), what + ": stored as a chunk that is not shorter");
        return true;
    }

    std::string name(std::uint32_t record, const std::string& where)
    {
        const std::uint32_t at = u32(dir_, record);
        expect(at == next_name_, where + ": name not next in record order");
        if (at >= names_.size())
            return fault(where + ": name outside the names block"), "";
        const auto end = std::find(names_.begin() + at, names_.end(), 0);
        std::string n(names_.begin() + at, end);
        next_name_ = std::uint32_t(end - names_.begin()) + 1;
        return n;
    }

    void expect_sorted(const std::vector<std::string>& names, const std::string& where)
    {
        for (std::size_t i = 1; i < names.size(); ++i)
            expect(folded(names[i - 1]) < folded(names[i]), where + ": list not sorted at " + names[i]);
    }

    void folder(std::uint32_t record, const std::string& path)
    {
        const std::uint32_t subs = u32(dir_, record + 4), sub_count = u32(dir_, record + 8);
        const std::uint32_t files = u32(dir_, record + 12), file_count = u32(dir_, record + 16);
        const std::string where = path.empty() ? "root" : path;
        expect(subs == cursor_, where + ": subfolder records not at the cursor");
        cursor_ = subs + 20 * sub_count;
        expect(files == cursor_, where + ": file records not after the subfolder records");
        cursor_ = files + 24 * file_count;
        if (cursor_ > dir_.size())
            return fault(where + ": records past the block");
        std::vector<std::string> sub_names, file_names;
        const auto join = [&](const std::string& n) { return path.empty() ? n : path + "\\" + n; };
        for (std::uint32_t i = 0; i < sub_count; ++i)
            sub_names.push_back(name(subs + 20 * i, where));
        for (std::uint32_t i = 0; i < file_count; ++i) {
            const std::uint32_t r = files + 24 * i;
            V2ViewFile f;
            const std::string n = name(r, where);
            file_names.push_back(n);
            f.path = join(n);
            f.data_start = u32(dir_, r + 4);
            f.size = u32(dir_, r + 8);
            f.stored_size = u32(dir_, r + 12);
            f.mtime = u32(dir_, r + 16);
            file_data(f, u32(dir_, r + 20));
            view_.listing.push_back("f " + f.path);
            view_.files.push_back(std::move(f));
        }
        expect_sorted(sub_names, where);
        expect_sorted(file_names, where);
        for (std::uint32_t i = 0; i < sub_count; ++i) {
            view_.listing.push_back("d " + join(sub_names[i]));
            folder(subs + 20 * i, join(sub_names[i]));
        }
    }

    void file_data(V2ViewFile& f, std::uint32_t checksum)
    {
        if (f.data_start + std::uint64_t(f.stored_size) > a_.size() || f.stored_size < 19)
            return fault(f.path + ": stored data not one chunk inside the file");
        const Bytes stored(a_.begin() + f.data_start, a_.begin() + f.data_start + f.stored_size);
        f.chunk_method = stored[5];
        const std::uint32_t payload_size = u32(stored, 7);
        expect(u32(stored, 0) == 0x48535153 && stored[4] == 2 && stored[6] == 0, f.path + ": chunk header");
        expect(19 + std::uint64_t(payload_size) == f.stored_size,
               f.path + ": chunk does not fill the stored size");
        expect(u32(stored, 11) == f.size, f.path + ": chunk plain size not the file's size");
        const Bytes payload(stored.begin() + 19, stored.end());
        expect(std::accumulate(payload.begin(), payload.end(), 0u) == u32(stored, 15),
               f.path + ": chunk checksum");
        if (f.chunk_method == 0)
            f.content = payload;
        else if (f.chunk_method != 2 || !inflate(payload, f.size, f.content))
            fault(f.path + ": not a zlib or stored chunk");
        expect(f.content.size() == f.size, f.path + ": content not its size");
        expect(hpi::test::v2_content_checksum(f.content) == checksum, f.path + ": content checksum");
    }

    const Bytes& a_;
    Bytes names_, dir_;
    std::uint32_t cursor_ = 0, next_name_ = 0;
    V2View view_;
};

}  // namespace

V2View view_v2(const Bytes& archive)
{
    return Viewer(archive).run();
}

}  // namespace writer_test
