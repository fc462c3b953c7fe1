// The public Writer: collects the tree, then hands it to the packer.
#include "hpi/hpi.h"
#include "writer_pack.h"
#include "writer_tree.h"

namespace hpi {

struct Writer::Impl {
    detail::PathTree tree;
};

Writer::Writer() : impl_(std::make_unique<Impl>()) {}
Writer::~Writer() = default;

Error Writer::add_directory(std::string_view archive_path)
{
    return impl_->tree.add_directory(archive_path);
}

Error Writer::add_file(std::string_view archive_path, const std::filesystem::path& disk_file)
{
    return impl_->tree.add_file(archive_path, disk_file);
}

Error Writer::pack(const std::filesystem::path& target, const PackOptions& options,
                   const ProgressFn& progress)
{
    return detail::pack_tree(impl_->tree.root(), target, options, progress);
}

}  // namespace hpi
