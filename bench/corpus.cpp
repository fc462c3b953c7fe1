#include "corpus.h"

#include <fstream>
#include <stdexcept>

namespace bench {
namespace {

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {  // splitmix64
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint64_t below(std::uint64_t n) { return next() % n; }
    template <class T, std::size_t N>
    const T& pick(const T (&items)[N]) { return items[below(N)]; }

private:
    std::uint64_t state_;
};

const char* const kUnitWords[] = {"ARM", "COR", "COM", "TANK", "KBOT", "LASER", "PLASMA",
                                  "MISSILE", "SOLAR", "MEX", "RADAR", "FLASH", "STUMPY",
                                  "GOLIATH", "PEEWEE", "HAMMER", "ROCKO", "SAMSON"};
const char* const kKeys[] = {"BuildCostEnergy", "BuildCostMetal", "BuildTime", "MaxDamage",
                             "MaxVelocity", "Acceleration", "BrakeRate", "TurnRate",
                             "SightDistance", "RadarDistance", "EnergyUse", "MetalStorage",
                             "FootprintX", "FootprintZ", "MaxSlope", "Category"};
const char* const kScriptOps[] = {"move", "turn", "spin", "stop-spin", "show", "hide",
                                  "emit-sfx", "sleep", "wait-for-turn", "explode"};
const char* const kPieces[] = {"base", "turret", "sleeve", "barrel", "flare", "lwheel",
                               "rwheel", "pelvis", "torso", "head", "larm", "rarm"};

std::string unit_name(Random& r) {
    return std::string(r.pick(kUnitWords)) + r.pick(kUnitWords) + std::to_string(r.below(100));
}

// An FBI-like unit definition: sections of key=value; lines.
std::string unit_script(Random& r, std::size_t size) {
    std::string s;
    while (s.size() < size) {
        s += "[UNITINFO]\r\n\t{\r\n\tUnitName=" + unit_name(r) + ";\r\n\tName=" + unit_name(r) +
             ";\r\n\tDescription=" + r.pick(kUnitWords) + " " + r.pick(kUnitWords) + ";\r\n";
        for (int i = 0; i < 12; ++i)
            s += std::string("\t") + r.pick(kKeys) + "=" + std::to_string(r.below(20000)) +
                 (r.below(4) == 0 ? "." + std::to_string(r.below(100)) : "") + ";\r\n";
        s += "\t}\r\n";
    }
    s.resize(size);
    return s;
}

// A BOS-like animation script.
std::string animation_script(Random& r, std::size_t size) {
    std::string s;
    while (s.size() < size) {
        s += "Activate()\r\n{\r\n";
        for (int i = 0; i < 10; ++i) {
            s += std::string("\t") + r.pick(kScriptOps) + " " + r.pick(kPieces) + " to " +
                 (r.below(2) ? "x-axis" : "y-axis") + " <" + std::to_string(r.below(180)) +
                 "> speed <" + std::to_string(r.below(400)) + ".000000>;\r\n";
        }
        s += "\tsleep " + std::to_string(r.below(1000)) + ";\r\n}\r\n";
    }
    s.resize(size);
    return s;
}

// A table of numbers, one record per line.
std::string number_table(Random& r, std::size_t size) {
    std::string s = "id,x,y,z,metal,energy,owner\r\n";
    for (std::uint64_t id = 0; s.size() < size; ++id)
        s += std::to_string(id) + "," + std::to_string(r.below(8192)) + "," +
             std::to_string(r.below(256)) + "," + std::to_string(r.below(8192)) + "," +
             std::to_string(r.below(50)) + "," + std::to_string(r.below(5000)) + "," +
             std::to_string(r.below(10)) + "\r\n";
    s.resize(size);
    return s;
}

// Model-like records: vertices that wander in small steps, as 32-bit fields.
std::string model_records(Random& r, std::size_t size) {
    std::string s;
    std::int32_t v[3] = {0, 0, 0};
    while (s.size() < size) {
        for (std::int32_t& c : v) {
            c += std::int32_t(r.below(2049)) - 1024;
            for (int b = 0; b < 4; ++b) s.push_back(char(std::uint32_t(c) >> (8 * b)));
        }
        s.append("\x01\x00\x00\x00", 4);
    }
    s.resize(size);
    return s;
}

std::string noise(Random& r, std::size_t size) {
    std::string s(size, '\0');
    for (char& c : s) c = char(r.next() >> 56);
    return s;
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

}  // namespace

std::vector<CorpusFile> generate_corpus(const std::filesystem::path& dir, std::uint64_t total) {
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
            CorpusFile f{std::string(kind.folder) + "\\" + name, dir / kind.folder / name, kind.name,
                         size};
            std::string content = kind.make(r, size);
            std::ofstream out(f.disk_path, std::ios::binary);
            out.write(content.data(), std::streamsize(content.size()));
            if (!out) throw std::runtime_error("cannot write " + f.disk_path.string());
            files.push_back(std::move(f));
        }
    }
    return files;
}

}  // namespace bench
