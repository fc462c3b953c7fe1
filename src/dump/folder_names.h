// The names in one folder of a dump, and which of them an entry's name goes
// to. Archives come from a system where names are compared without regard to
// case, so "UNITS" and "units" are one folder: a name goes to the one already
// there that differs from it only in ASCII case, and the first spelling a
// folder was given is the one it keeps.
#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>

namespace quarrix::dump {

class FolderNames {
public:
    // Notes a name now present in the folder.
    void Add(const std::string& name);

    bool Contains(const std::string& name) const { return names_.count(name) != 0; }

    // The name `name` goes to: itself when present, else the present name
    // that differs from it only in ASCII case (the first one noted), else
    // `name` itself, as a new one.
    std::string Match(const std::string& name) const;

private:
    std::unordered_set<std::string> names_;
    std::unordered_map<std::string, std::string> byFolded_;
};

}  // namespace quarrix::dump
