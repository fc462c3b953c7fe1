// Names of the error kinds, short enough to stand in front of a message.
#include "hpi/hpi.h"

namespace hpi {

std::string_view to_string(ErrorKind kind)
{
    switch (kind) {
        case ErrorKind::None:
            return "no error";
        case ErrorKind::NotAnArchive:
            return "not an archive";
        case ErrorKind::UnsupportedVersion:
            return "unsupported version";
        case ErrorKind::Truncated:
            return "truncated";
        case ErrorKind::BadOffset:
            return "bad offset";
        case ErrorKind::BadName:
            return "bad name";
        case ErrorKind::DirectoryLoop:
            return "directory loop";
        case ErrorKind::BadChecksum:
            return "bad checksum";
        case ErrorKind::BadCompressedData:
            return "bad compressed data";
        case ErrorKind::IoError:
            return "I/O error";
        case ErrorKind::TooLarge:
            return "too large";
        case ErrorKind::InvalidArgument:
            return "invalid argument";
        case ErrorKind::Interrupted:
            return "interrupted";
    }
    return "unknown error";
}

}  // namespace hpi
