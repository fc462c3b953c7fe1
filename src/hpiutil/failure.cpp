#include "hpiutil/failure.h"

#include <cerrno>
#include <cctype>

namespace hpiutil {

namespace {

Cause CauseOfSystemError(const std::error_code& code)
{
    if (code.category() != std::generic_category() && code.category() != std::system_category())
        return Cause::Io;
    switch (code.value()) {
        case ENOSPC:
        case EDQUOT:
            return Cause::NoSpace;
        case EACCES:
        case EPERM:
            return Cause::PermissionDenied;
        case EROFS:
            return Cause::ReadOnly;
        case ENOENT:
            return Cause::Missing;
        case ENOTDIR:
        case EISDIR:
        case ELOOP:
        case EEXIST:
            return Cause::InTheWay;
        case EFBIG:
            return Cause::TooLarge;
        case ENAMETOOLONG:
            return Cause::NameTooLong;
        default:
            return Cause::Io;
    }
}

// The library's own label ("entry 'x': ", or the archive's path in quotes)
// is dropped: every line that shows a failure names its archive and entry
// already.
std::string WithoutLabel(std::string_view message)
{
    for (std::string_view opening : {"entry '", "'"}) {
        if (!message.starts_with(opening))
            continue;
        const std::size_t end = message.find("': ");
        if (end != std::string_view::npos)
            message.remove_prefix(end + 3);
        break;
    }
    return std::string(message);
}

std::string_view DamageWords(hpi::ErrorKind kind)
{
    switch (kind) {
        case hpi::ErrorKind::BadChecksum:
            return "checksum mismatch";
        case hpi::ErrorKind::Truncated:
            return "truncated";
        case hpi::ErrorKind::BadCompressedData:
            return "bad compressed data";
        case hpi::ErrorKind::BadOffset:
            return "bad offset";
        case hpi::ErrorKind::BadName:
            return "bad name";
        case hpi::ErrorKind::DirectoryLoop:
            return "directory loop";
        default:
            return "damaged";
    }
}

std::string Lowered(std::string text)
{
    if (!text.empty())
        text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::string WithDetail(std::string words, const std::string& detail)
{
    return detail.empty() ? words : words + " (" + detail + ")";
}

}  // namespace

Failure FromSystem(std::error_code code, std::string detail)
{
    return Failure{CauseOfSystemError(code), code, hpi::ErrorKind::None, false, std::move(detail)};
}

Failure FromLibrary(const hpi::Error& error, bool wholeArchive)
{
    using hpi::ErrorKind;
    switch (error.kind) {
        case ErrorKind::None:
            return {};
        case ErrorKind::NotAnArchive:
            return Because(Cause::NotAnArchive);
        case ErrorKind::UnsupportedVersion:
            return Because(Cause::Unsupported, error.message);
        case ErrorKind::Truncated:
        case ErrorKind::BadOffset:
        case ErrorKind::BadName:
        case ErrorKind::DirectoryLoop:
        case ErrorKind::BadChecksum:
        case ErrorKind::BadCompressedData:
            return Failure{Cause::Damaged, {}, error.kind, wholeArchive, WithoutLabel(error.message)};
        case ErrorKind::IoError:
            if (error.system)
                return FromSystem(error.system);
            return Because(Cause::Io, error.message);
        case ErrorKind::TooLarge:
            return Because(Cause::TooLarge, error.message);
        case ErrorKind::Interrupted:
            return Because(Cause::Interrupted);
        case ErrorKind::InvalidArgument:
            break;
    }
    return Because(Cause::Other, error.message);
}

Failure Because(Cause cause, std::string detail)
{
    return Failure{cause, {}, hpi::ErrorKind::None, false, std::move(detail)};
}

std::string Describe(const Failure& failure)
{
    const std::string& detail = failure.detail;
    switch (failure.cause) {
        case Cause::None:
            return "no failure";
        case Cause::NotAnArchive:
            return "not an archive";
        case Cause::Damaged:
            return WithDetail(std::string(failure.wholeArchive ? "damaged archive: " : "damaged entry: ") +
                                  std::string(DamageWords(failure.damage)),
                              detail);
        case Cause::Unsupported:
            return WithDetail("unsupported archive layout", detail);
        case Cause::Missing:
            return "no such file or folder";
        case Cause::NoSpace:
            return failure.system.value() == EDQUOT ? "disk quota exceeded" : "no space left on device";
        case Cause::PermissionDenied:
            return "permission denied";
        case Cause::ReadOnly:
            return "read-only file system";
        case Cause::InTheWay:
            return WithDetail("a file, folder or link is in the way", detail);
        case Cause::TooLarge:
            return failure.system ? "file too large" : WithDetail("too large", detail);
        case Cause::UnsafeName:
            return "unsafe name (leaves the target)";
        case Cause::NotCp1252:
            return "name outside Windows-1252";
        case Cause::NotUtf8:
            return "name is not valid UTF-8";
        case Cause::NameTooLong:
            return WithDetail("name too long", detail);
        case Cause::NotAFile:
            return "not a regular file";
        case Cause::CaseCollision:
            return "differs only in case from " + detail;
        case Cause::LinkToFolder:
            return "a link to a folder (not followed)";
        case Cause::FolderTwice:
            return WithDetail("a folder reached a second time", detail);
        case Cause::Interrupted:
            return "interrupted";
        case Cause::Io:
            return failure.system ? WithDetail(Lowered(failure.system.message()), detail)
                                  : (detail.empty() ? "input/output error" : detail);
        case Cause::Other:
            return detail.empty() ? "failed" : detail;
    }
    return "failed";
}

std::string_view KindName(Cause cause)
{
    switch (cause) {
        case Cause::None:
            return "none";
        case Cause::NotAnArchive:
            return "not-an-archive";
        case Cause::Damaged:
            return "damaged";
        case Cause::Unsupported:
            return "unsupported";
        case Cause::Missing:
            return "missing";
        case Cause::NoSpace:
            return "no-space";
        case Cause::PermissionDenied:
            return "permission-denied";
        case Cause::ReadOnly:
            return "read-only";
        case Cause::InTheWay:
            return "in-the-way";
        case Cause::TooLarge:
            return "too-large";
        case Cause::UnsafeName:
            return "unsafe-name";
        case Cause::NotCp1252:
            return "not-windows-1252";
        case Cause::NotUtf8:
            return "not-utf-8";
        case Cause::NameTooLong:
            return "name-too-long";
        case Cause::NotAFile:
            return "not-a-file";
        case Cause::CaseCollision:
            return "case-collision";
        case Cause::LinkToFolder:
            return "link-to-folder";
        case Cause::FolderTwice:
            return "folder-twice";
        case Cause::Interrupted:
            return "interrupted";
        case Cause::Io:
            return "io-error";
        case Cause::Other:
            return "other";
    }
    return "other";
}

}  // namespace hpiutil
