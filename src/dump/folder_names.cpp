#include "folder_names.h"

#include "text.h"

namespace quarrix::dump {

void FolderNames::Add(const std::string& name)
{
    if (names_.insert(name).second)
        byFolded_.try_emplace(FoldCase(name), name);
}

std::string FolderNames::Match(const std::string& name) const
{
    if (Contains(name))
        return name;
    const auto folded = byFolded_.find(FoldCase(name));
    return folded == byFolded_.end() ? name : folded->second;
}

}  // namespace quarrix::dump
