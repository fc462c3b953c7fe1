#include "json_lines.h"

#include <ostream>

namespace quarrix::cli::json {

void write(std::ostream& out, const Object& object)
{
    // A path on disk may be any bytes; nothing but valid UTF-8 goes out.
    out << object.dump(-1, ' ', false, Object::error_handler_t::replace) << '\n';
}

Object entry(const std::string& archive, const hpi::Entry& entry)
{
    Object line = {{"type", "entry"}, {"archive", archive}, {"path", hpi::cp1252_to_utf8(entry.path)}};
    line["kind"] = entry.is_directory ? "folder" : "file";
    if (!entry.is_directory)
        line["size"] = entry.size;
    return line;
}

Object archive(const std::string& archive)
{
    return {{"type", "archive"}, {"archive", archive}};
}

namespace {

void add_cause(Object& line, const hpiutil::Failure& cause)
{
    line["cause"] = hpiutil::Describe(cause);
    line["kind"] = std::string(hpiutil::KindName(cause.cause));
}

}  // namespace

Object failure(const std::string& archive, const std::string& entry, const hpiutil::Failure& cause)
{
    Object line = {{"type", "failure"}};
    if (!archive.empty())
        line["archive"] = archive;
    if (!entry.empty())
        line["entry"] = entry;
    add_cause(line, cause);
    return line;
}

Object folder_failure(const std::string& folder, const hpiutil::Failure& cause)
{
    Object line = {{"type", "failure"}, {"folder", folder}};
    add_cause(line, cause);
    return line;
}

Object failure(const dump::DumpFailure& failure)
{
    if (failure.folder && failure.entry.empty())
        return folder_failure(failure.archive, failure.cause);
    return json::failure(failure.archive, failure.entry, failure.cause);
}

}  // namespace quarrix::cli::json
