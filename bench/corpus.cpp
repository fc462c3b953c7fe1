#include "corpus.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <initializer_list>
#include <stdexcept>

namespace bench {
namespace {

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next()
    {  // splitmix64
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint64_t below(std::uint64_t n) { return next() % n; }
    template <class T, std::size_t N>
    const T& pick(const T (&items)[N])
    {
        return items[below(N)];
    }

private:
    std::uint64_t state_;
};

const char* const kUnitWords[] = {"ARM",    "COR",     "COM",    "TANK",   "KBOT",  "LASER",
                                  "PLASMA", "MISSILE", "SOLAR",  "MEX",    "RADAR", "FLASH",
                                  "STUMPY", "GOLIATH", "PEEWEE", "HAMMER", "ROCKO", "SAMSON"};
const char* const kKeys[] = {"BuildCostEnergy", "BuildCostMetal", "BuildTime", "MaxDamage",
                             "MaxVelocity",     "Acceleration",   "BrakeRate", "TurnRate",
                             "SightDistance",   "RadarDistance",  "EnergyUse", "MetalStorage",
                             "FootprintX",      "FootprintZ",     "MaxSlope",  "Category"};
const char* const kScriptOps[] = {"move", "turn",     "spin",  "stop-spin",     "show",
                                  "hide", "emit-sfx", "sleep", "wait-for-turn", "explode"};
const char* const kPieces[] = {"base",   "turret", "sleeve", "barrel", "flare", "lwheel",
                               "rwheel", "pelvis", "torso",  "head",   "larm",  "rarm"};

// The parts in order: the Random calls in a braced list run left to right,
// unlike the operands of "+", so the same seed gives the same text with any
// compiler.
std::string join(std::initializer_list<std::string> parts)
{
    std::string s;
    for (const std::string& part : parts)
        s += part;
    return s;
}

std::string unit_name(Random& r)
{
    return join({r.pick(kUnitWords), r.pick(kUnitWords), std::to_string(r.below(100))});
}

// An FBI-like unit definition: sections of key=value; lines.
std::string unit_script(Random& r, std::size_t size)
{
    std::string s;
    while (s.size() < size) {
        s += join({"[UNITINFO]\r\n\t{\r\n\tUnitName=", unit_name(r), ";\r\n\tName=", unit_name(r),
                   ";\r\n\tDescription=", r.pick(kUnitWords), " ", r.pick(kUnitWords), ";\r\n"});
        for (int i = 0; i < 12; ++i)
            s += join({"\t", r.pick(kKeys), "=", std::to_string(r.below(20000)),
                       r.below(4) == 0 ? join({".", std::to_string(r.below(100))}) : "", ";\r\n"});
        s += "\t}\r\n";
    }
    s.resize(size);
    return s;
}

// A BOS-like animation script.
std::string animation_script(Random& r, std::size_t size)
{
    std::string s;
    while (s.size() < size) {
        s += "Activate()\r\n{\r\n";
        for (int i = 0; i < 10; ++i) {
            s += join({"\t", r.pick(kScriptOps), " ", r.pick(kPieces), " to ",
                       r.below(2) ? "x-axis" : "y-axis", " <", std::to_string(r.below(180)), "> speed <",
                       std::to_string(r.below(400)), ".000000>;\r\n"});
        }
        s += "\tsleep " + std::to_string(r.below(1000)) + ";\r\n}\r\n";
    }
    s.resize(size);
    return s;
}

// A table of numbers, one record per line.
std::string number_table(Random& r, std::size_t size)
{
    std::string s = "id,x,y,z,metal,energy,owner\r\n";
    for (std::uint64_t id = 0; s.size() < size; ++id)
        s += join({std::to_string(id), ",", std::to_string(r.below(8192)), ",", std::to_string(r.below(256)),
                   ",", std::to_string(r.below(8192)), ",", std::to_string(r.below(50)), ",",
                   std::to_string(r.below(5000)), ",", std::to_string(r.below(10)), "\r\n"});
    s.resize(size);
    return s;
}

// Model-like records: vertices that wander in small steps, as 32-bit fields.
std::string model_records(Random& r, std::size_t size)
{
    std::string s;
    std::int32_t v[3] = {0, 0, 0};
    while (s.size() < size) {
        for (std::int32_t& c : v) {
            c += std::int32_t(r.below(2049)) - 1024;
            for (int b = 0; b < 4; ++b)
                s.push_back(char(std::uint32_t(c) >> (8 * b)));
        }
        s.append("\x01\x00\x00\x00", 4);
    }
    s.resize(size);
    return s;
}

std::string noise(Random& r, std::size_t size)
{
    std::string s(size, '\0');
    for (char& c : s)
        c = char(r.next() >> 56);
    return s;
}

// Palette-indexed pictures: runs of one colour broken by dithering, the way
// textures and interface pictures of these games compress (about halfway).
std::string bitmap(Random& r, std::size_t size)
{
    std::string s;
    s.reserve(size);
    while (s.size() < size) {
        const char colour = char(r.below(256));
        const std::uint64_t run = 1 + r.below(24);
        for (std::uint64_t i = 0; i < run; ++i)
            s.push_back(r.below(4) == 0 ? char(r.next() >> 56) : colour);
    }
    s.resize(size);
    return s;
}

// 16-bit sound samples: a tone that drifts, with a little hiss; compresses
// poorly, as recorded sound does.
std::string sound_samples(Random& r, std::size_t size)
{
    std::string s;
    s.reserve(size);
    std::int32_t level = 0, step = 300;
    while (s.size() < size) {
        if (r.below(64) == 0)
            step = std::int32_t(r.below(1200)) - 600;
        level += step;
        if (level > 30000 || level < -30000)
            step = -step;
        const auto sample = std::uint16_t(level + std::int32_t(r.below(64)) - 32);
        s.push_back(char(sample & 0xFF));
        s.push_back(char(sample >> 8));
    }
    s.resize(size);
    return s;
}

// A map: a height field as model records, then its picture.
std::string game_map(Random& r, std::size_t size)
{
    return join({model_records(r, size / 2), bitmap(r, size - size / 2)});
}

struct Kind {
    const char* name;
    const char* folder;
    const char* extension;
    std::string (*make)(Random&, std::size_t);
    unsigned share;  // percent of the corpus
};

const Kind kKinds[] = {
    {"unit scripts", "units", ".fbi", unit_script, 25},
    {"animation scripts", "scripts", ".bos", animation_script, 20},
    {"tables", "gamedata", ".csv", number_table, 20},
    {"model records", "objects3d", ".3do", model_records, 15},
    {"compressed media", "sounds", ".ogg", noise, 20},
};

void write_file(const CorpusFile& f, const std::string& content)
{
    std::filesystem::create_directories(f.disk_path.parent_path());
    std::ofstream out(f.disk_path, std::ios::binary);
    out.write(content.data(), std::streamsize(content.size()));
    if (!out)
        throw std::runtime_error("cannot write " + f.disk_path.string());
}

// A kind of file in a collection, with its share of the files of its class.
struct CollectionKind {
    const char* folder;  // "\" between levels
    const char* extension;
    std::string (*make)(Random&, std::size_t);
    unsigned share;  // percent of its size class
};

const CollectionKind kSmall[] = {
    {"units", ".fbi", unit_script, 35},
    {"scripts", ".bos", animation_script, 30},
    {"gamedata", ".tdf", unit_script, 15},
    {"gamedata\\tables", ".csv", number_table, 20},
};
const CollectionKind kMid[] = {
    {"objects3d", ".3do", model_records, 35},
    {"textures\\", ".gaf", bitmap, 35},  // a theme folder is added
    {"sounds", ".wav", sound_samples, 20},
    {"sounds\\music", ".ogg", noise, 10},
};
const CollectionKind kLarge[] = {
    {"maps", ".tnt", game_map, 50},
    {"music", ".ogg", noise, 25},
    {"bitmaps", ".pcx", bitmap, 25},
};
const CollectionKind kBig[] = {
    {"music", ".ogg", noise, 85},
    {"maps", ".tnt", game_map, 15},
};
const char* const kThemes[] = {"arctic", "desert", "green", "lava", "metal", "moon", "urban"};

struct SizeClass {
    std::uint64_t files;  // in the whole collection, at scale 1
    std::uint64_t smallest, largest;
    bool spread_by_magnitude;  // sizes spread evenly over their orders of magnitude
};

// 19,160 small, 800 mid-size and 40 big files: about 86 + 119 + 100 MB.
const SizeClass kSmallFiles{19'160, 1'024, 8'192, false};
const SizeClass kMidFiles{800, 20'000, 500'000, true};
const SizeClass kLargeFiles{40, 1'000'000, 4'000'000, false};
constexpr int kArchives = 40;

std::uint64_t size_in(Random& r, const SizeClass& c)
{
    if (!c.spread_by_magnitude)
        return c.smallest + r.below(c.largest - c.smallest + 1);
    const double u = double(r.below(1'000'000)) / 1e6;
    return std::uint64_t(double(c.smallest) * std::pow(double(c.largest) / double(c.smallest), u));
}

template <std::size_t N>
const CollectionKind& pick_kind(Random& r, const CollectionKind (&kinds)[N])
{
    std::uint64_t roll = r.below(100);
    for (const CollectionKind& k : kinds) {
        if (roll < k.share)
            return k;
        roll -= k.share;
    }
    return kinds[N - 1];
}

// Makes one file of the given class; `serial` keeps every name of the
// collection distinct.
template <std::size_t N>
CorpusFile make_file(Random& r, const std::filesystem::path& dir, const CollectionKind (&kinds)[N],
                     const SizeClass& size_class, std::uint64_t serial)
{
    const CollectionKind& kind = pick_kind(r, kinds);
    std::string folder = kind.folder;
    if (folder.back() == '\\')
        folder += r.pick(kThemes);
    std::string name = unit_name(r);
    for (char& c : name)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    name += "_" + std::to_string(serial) + kind.extension;

    CorpusFile f;
    f.archive_path = folder + "\\" + name;
    std::string relative = f.archive_path;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    f.disk_path = dir / relative;
    f.kind = kind.extension;
    f.size = size_in(r, size_class);
    write_file(f, kind.make(r, f.size));
    return f;
}

// How many of `total` things archive k of `count` gets, spread evenly.
std::uint64_t share_of(std::uint64_t total, int k, int count)
{
    return total * std::uint64_t(k + 1) / std::uint64_t(count) -
           total * std::uint64_t(k) / std::uint64_t(count);
}

std::uint64_t scaled(std::uint64_t n, double scale)
{
    return std::uint64_t(std::llround(double(n) * scale));
}

}  // namespace

std::vector<CorpusFile> generate_corpus(const std::filesystem::path& dir, std::uint64_t total)
{
    Random r(20240601);
    std::vector<CorpusFile> files;
    for (const Kind& kind : kKinds) {
        std::filesystem::create_directories(dir / kind.folder);
        std::uint64_t budget = total * kind.share / 100;
        for (int n = 0; budget > 0; ++n) {
            // Mostly small files, now and then a big one, as in real archives.
            std::uint64_t size = r.below(8) == 0 ? 200'000 + r.below(1'800'000) : 500 + r.below(60'000);
            size = std::min(size, budget);
            budget -= size;
            std::string name = std::string(kind.folder) + "_" + std::to_string(n) + kind.extension;
            CorpusFile f{std::string(kind.folder) + "\\" + name, dir / kind.folder / name, kind.name, size};
            write_file(f, kind.make(r, size));
            files.push_back(std::move(f));
        }
    }
    return files;
}

std::vector<CollectionArchive> generate_collection(const std::filesystem::path& dir, double scale)
{
    static const char* const kExtensions[] = {".hpi", ".hpi", ".ufo", ".gp3"};
    Random r(20240917);
    const std::uint64_t small = scaled(kSmallFiles.files, scale);
    const std::uint64_t mid = scaled(kMidFiles.files, scale);
    const std::uint64_t large = scaled(kLargeFiles.files, scale);
    std::vector<CollectionArchive> archives;
    std::uint64_t serial = 0;
    for (int k = 0; k < kArchives; ++k) {
        CollectionArchive archive;
        archive.name = "part" + std::to_string(100 + k).substr(1) + kExtensions[k % 4];
        for (std::uint64_t n = share_of(small, k, kArchives); n > 0; --n)
            archive.files.push_back(make_file(r, dir, kSmall, kSmallFiles, serial++));
        for (std::uint64_t n = share_of(mid, k, kArchives); n > 0; --n)
            archive.files.push_back(make_file(r, dir, kMid, kMidFiles, serial++));
        for (std::uint64_t n = share_of(large, k, kArchives); n > 0; --n)
            archive.files.push_back(make_file(r, dir, kLarge, kLargeFiles, serial++));
        archives.push_back(std::move(archive));
    }
    return archives;
}

std::vector<CorpusFile> generate_big_archive(const std::filesystem::path& dir, double scale)
{
    Random r(20241031);
    const auto total = std::uint64_t(1.25 * double(1ull << 30) * scale);
    std::vector<CorpusFile> files;
    std::uint64_t bytes = 0;
    for (std::uint64_t serial = 0; bytes < total; ++serial) {
        files.push_back(make_file(r, dir, kBig, kLargeFiles, serial));
        bytes += files.back().size;
    }
    return files;
}

}  // namespace bench
