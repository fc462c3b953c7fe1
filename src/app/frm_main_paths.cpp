// What the main window is given from outside: the paths of its command line
// (a file manager's "Open with") and the folders and archives dropped on it.
// Both are taken as the window's own buttons would take them.
#include "frm_main.h"

#include "hpiutil/failure.h"
#include "hpiutil/hpiutil.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "support/list_box.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

namespace quarrix {

namespace {

// A given path sorted by what it is; `refused` holds one line per path that
// cannot be taken, the path as given and why.
struct SortedPaths {
    QStringList folders;
    QStringList archives;
    QStringList refused;
};

QString AbsoluteNativePath(const QFileInfo& info)
{
    return QDir::toNativeSeparators(QDir::cleanPath(info.absoluteFilePath()));
}

// The test the dump itself makes first: the archive library opens the file.
// A renamed archive passes, a text file named ".hpi" does not; why a file
// fails is the library's answer ("not an archive", "damaged archive: ...").
hpiutil::Failure WhyNotAnArchive(const QString& path)
{
    const std::int32_t handle = HPIOpen(platform::ToFsPath(path).c_str());
    const hpiutil::Failure failure = handle == 0 ? HPIGetLastFailure() : hpiutil::Failure();
    HPIClose(handle);
    return failure;
}

QString Refused(const QString& path, const hpiutil::Failure& failure)
{
    return path + QStringLiteral(": ") + QString::fromStdString(hpiutil::Describe(failure));
}

SortedPaths SortPaths(const QStringList& paths)
{
    SortedPaths sorted;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        const QString absolute = AbsoluteNativePath(info);
        if (info.isDir())
            sorted.folders.append(absolute);
        else if (!info.exists())
            sorted.refused.append(Refused(path, hpiutil::Because(hpiutil::Cause::Missing)));
        // A device or a pipe is not opened: reading one could wait forever.
        else if (!info.isFile())
            sorted.refused.append(path + QStringLiteral(": neither a folder nor a file"));
        else if (const hpiutil::Failure failure = WhyNotAnArchive(absolute))
            sorted.refused.append(Refused(path, failure));
        else
            sorted.archives.append(absolute);
    }
    return sorted;
}

// The local files a drop carries; empty when it carries anything else as well
// (a web address, text), so that such a drop is refused as a whole.
QStringList DroppedPaths(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            return {};
        paths.append(url.toLocalFile());
    }
    return paths;
}

}  // namespace

void frmMain::acceptDroppedPaths()
{
    setAcceptDrops(true);
    // A path dropped on the target field would otherwise be typed into it as
    // a file:// address; the whole window takes drops the same way.
    txtTarget->setAcceptDrops(false);
}

void frmMain::OpenPaths(const QStringList& paths)
{
    const SortedPaths sorted = SortPaths(paths);
    if (!sorted.folders.isEmpty() || !sorted.archives.isEmpty()) {
        ScanDir = sorted.folders.isEmpty()
                      ? QDir::toNativeSeparators(QFileInfo(sorted.archives.first()).path())
                      : sorted.folders.first();
        lstFiles->Clear();
        for (const QString& folder : sorted.folders)
            AddArchivesFoundIn(folder);
        for (const QString& archive : sorted.archives) {
            if (lstFiles->findItems(archive, Qt::MatchExactly).isEmpty())
                lstFiles->AddItem(archive);
        }
        enableDumpWhenBothDirectoriesKnown();
    }
    if (!sorted.refused.isEmpty())
        platform::MsgBox(QStringLiteral("Not opened:\n") + sorted.refused.join(u'\n'),
                         platform::MsgBoxButtons::Ok, platform::MsgBoxIcon::Exclamation);
}

// Qt offers a drag to an enabled window only, so nothing is taken while a scan
// or a dump runs (both disable the window), and a drop only after its drag
// was accepted here.
void frmMain::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void frmMain::dropEvent(QDropEvent* event)
{
    event->acceptProposedAction();
    // The file manager waits for the drop to end; the scan runs after it.
    const QStringList paths = DroppedPaths(event->mimeData());
    QMetaObject::invokeMethod(
        this, [this, paths] { OpenPaths(paths); }, Qt::QueuedConnection);
}

}  // namespace quarrix
