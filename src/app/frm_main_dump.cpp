// The dump command of the main window: the dump options, then the
// extraction (into the target, or into the temporary folder followed by the
// packing of one consolidated archive), then the closing message. The work
// itself is the dump engine's; this file ties it to the progress windows,
// the archive list and the window's state.
#include "frm_main.h"
#include "collection/conflicts.h"
#include "collection/merged_view.h"

#include "dump/extraction.h"
#include "dump/monolithic.h"
#include "platform/desktop.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/stop_signals.h"
#include "support/frm_file_io.h"
#include "support/list_box.h"
#include "support/mod_file_shell.h"
#include "ui/frm_dump_options.h"
#include "ui/frm_progress.h"
#include "ui/frm_progress2.h"

#include <hpi/hpi.h>

#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include <future>

namespace quarrix {

// The files a dump wrote whole: entry and archive as the listing and the
// archive list name them, in the order they were written.
struct WrittenFiles {
    std::vector<std::pair<std::string, std::string>> files;
    void Add(const std::string& archive, const std::string& entry) { files.emplace_back(archive, entry); }
};

namespace {

QString FromDisk(const std::string& text)
{
    return QFile::decodeName(QByteArray::fromStdString(text));
}

std::string ToDisk(const QString& text)
{
    return platform::ToFsPath(text).string();
}

class ListBoxArchives final : public dump::ArchiveList {
public:
    explicit ListBoxArchives(ListBox& list) : list_(list) {}
    std::int32_t ListCount() const override { return list_.ListCount(); }
    std::string List(std::int32_t Index) const override { return ToDisk(list_.List(Index)); }
    void RemoveItem(std::int32_t Index) override { list_.RemoveItem(Index); }

private:
    ListBox& list_;
};

class WindowExtractionProgress final : public dump::ExtractionProgress {
public:
    WindowExtractionProgress(frmProgress2& window, WrittenFiles& written) : window_(window), written_(written)
    {
    }
    void StartMain(const std::string& strPart, const std::string& strWork) override
    {
        window_.StartMain(FromDisk(strPart), QString::fromStdString(strWork));
    }
    void UpdateMain(std::int32_t Value, std::int32_t Max) override { window_.UpdateMain(Value, Max); }
    void StartSub(const std::string& strPart) override { window_.StartSub(FromDisk(strPart)); }
    void UpdateSub(std::int32_t Value, std::int32_t Max) override { window_.UpdateSub(Value, Max); }
    // A stop asked for by a signal ends the program at the next yield; until
    // then the extraction goes no further.
    bool Cancel() override { return window_.Cancel || platform::StopRequested(); }
    void FileWritten(const std::string& archive, const std::string& entry, std::uint64_t) override
    {
        written_.Add(archive, entry);
    }

private:
    frmProgress2& window_;
    WrittenFiles& written_;
};

class WindowPacking final : public dump::MonolithicHost {
public:
    explicit WindowPacking(frmMain& main) : main_(main) {}
    void Message(const std::string& text) override { platform::MsgBox(FromDisk(text)); }
    void PackingStarts() override
    {
        frmProgress::instance().Show(&main_);
        main_.setEnabled(false);
    }
    void PackingEnds() override
    {
        main_.setEnabled(true);
        frmProgress::instance().Unload();
    }
    void DeleteFolder(const std::string& folder) override { modFileShell::DeleteFolder(FromDisk(folder)); }
    void Start(const std::string& strPart, const std::string& strWork) override
    {
        frmProgress::instance().Start(FromDisk(strPart), QString::fromStdString(strWork));
    }
    void Update(std::int32_t Value, std::int32_t Max) override { frmProgress::instance().Update(Value, Max); }

private:
    frmMain& main_;
};

// The files more than one of the listed archives holds, found from their
// listings alone on a thread of their own while the dump runs: on a large
// collection that takes a noticeable part of the dump's time, and the dump
// does not need it.
std::future<collection::MergedView> ListedArchivesView(const ListBox& list)
{
    std::vector<std::string> archives;
    for (int i = 0; i < list.ListCount(); ++i)
        archives.push_back(ToDisk(list.List(i)));
    return std::async(std::launch::async,
                      [archives = std::move(archives)] { return collection::MergedView::build(archives); });
}

}  // namespace

void frmMain::EndOnStopSignals()
{
    platform::AddLastMomentCleanup(&hpi::remove_temporary_archives);
    platform::EndOnStopSignals(
        [] { modFileShell::DeleteFolder(platform::JoinPath(platform::WorkingDirectory(), u"temp")); });
}

void frmMain::Command4_Click()
{
    // An empty target would put the output in whatever folder the program
    // happens to run in.
    if (txtTarget->text().isEmpty()) {
        platform::MsgBox(QStringLiteral("Choose the directory where the files will be extracted first."),
                         platform::MsgBoxButtons::Ok, platform::MsgBoxIcon::Exclamation);
        return;
    }
    frmDumpOptions& options = frmDumpOptions::instance();
    options.ShowModal(this);
    if (!options.OK)
        return;

    // Before the dump, which empties the list. The closing box's details
    // name, for each of these files, the archive whose copy ended on disk.
    std::future<collection::MergedView> view = ListedArchivesView(*lstFiles);
    WrittenFiles written;
    dump::DumpFailures failures;
    std::size_t extracted = 0;
    if (options.Compressed) {
        frmFile_IO::MakeFolder(platform::JoinPath(platform::WorkingDirectory(), u"temp\\"));
        ExtractArchives(platform::JoinPath(platform::WorkingDirectory(), u"temp\\"), failures, written);
        extracted = failures.Items().size();
        CreateMonolithic(failures);
    } else {
        ExtractArchives(txtTarget->text(), failures, written);
        extracted = failures.Items().size();
    }
    collection::Overlaps overlaps(view.get());
    for (const auto& [archive, entry] : written.files)
        overlaps.written(archive, entry);
    // What the packing failed on is not in the target: the whole archive (no
    // entry named), or the files and folders it names.
    for (std::size_t i = extracted; i < failures.Items().size(); ++i)
        overlaps.lost(failures.Items()[i].entry, failures.Items()[i].folder);

    QString text = QStringLiteral("Operation Complete");
    if (!failures.Empty())
        text += QStringLiteral("\n\n") + FromDisk(failures.Lines());
    platform::MsgBox(text, platform::MsgBoxButtons::Ok,
                     failures.Empty() ? platform::MsgBoxIcon::Information : platform::MsgBoxIcon::Exclamation,
                     QStringLiteral("File Operations"), FromDisk(overlaps.lines(200)));
}

void frmMain::ExtractArchives(const QString& destination, dump::DumpFailures& failures, WrittenFiles& written)
{
    frmProgress2& progress = frmProgress2::instance();
    progress.Show();
    setEnabled(false);
    ListBoxArchives archives(*lstFiles);
    WindowExtractionProgress sink(progress, written);
    dump::ExtractArchives(ToDisk(destination), archives, sink, failures);
    ScanDir.clear();
    Command4->setEnabled(false);
    setEnabled(true);
    progress.Unload();
}

void frmMain::CreateMonolithic(dump::DumpFailures& failures)
{
    WindowPacking host(*this);
    const QString temp = platform::JoinPath(platform::WorkingDirectory(), u"temp");
    dump::CreateMonolithic(ToDisk(txtTarget->text()), frmDumpOptions::instance().Filename.toStdString(),
                           ToDisk(temp), host, failures);
}

}  // namespace quarrix
