// Test doubles for the desktop pieces a person would answer or notice:
// message boxes are recorded and answered, the folder browser follows a
// script, beeps are counted, the program end is recorded instead of
// happening, and the application directory is a fresh temporary folder.
#pragma once

#include "platform/desktop.h"
#include "platform/folder_dialog.h"
#include "platform/message_box.h"
#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <deque>
#include <optional>

namespace quarrix::testkit {

// Each double installs itself for its lifetime and restores the one before.
struct Pinned {
    Pinned() = default;
    Pinned(const Pinned&) = delete;
    Pinned& operator=(const Pinned&) = delete;
};

class RecordingMessageBoxes final : public platform::MessageBoxPresenter, Pinned {
public:
    RecordingMessageBoxes() { previous_ = platform::InstallMessageBoxPresenter(this); }
    ~RecordingMessageBoxes() override { platform::InstallMessageBoxPresenter(previous_); }

    platform::MsgBoxResult present(const platform::MessageBoxRequest& request) override
    {
        shown.append(request);
        return platform::MsgBoxResult::Ok;
    }

    QList<platform::MessageBoxRequest> shown;

private:
    platform::MessageBoxPresenter* previous_ = nullptr;
};

// Answers each browse with the next scripted folder; std::nullopt (or an
// empty script) stands for Cancel.
class ScriptedFolderChooser final : public platform::FolderChooser, Pinned {
public:
    ScriptedFolderChooser() { previous_ = platform::InstallFolderChooser(this); }
    ~ScriptedFolderChooser() override { platform::InstallFolderChooser(previous_); }

    void choose(const QString& folder) { script_.push_back(folder); }
    void cancel() { script_.push_back(std::nullopt); }

    QString chooseFolder(QWidget* owner, const QString& title) override
    {
        owners.append(owner);
        titles.append(title);
        if (script_.empty())
            return {};
        const std::optional<QString> answer = script_.front();
        script_.pop_front();
        return answer.value_or(QString());
    }

    QList<QWidget*> owners;
    QList<QString> titles;

private:
    std::deque<std::optional<QString>> script_;
    platform::FolderChooser* previous_ = nullptr;
};

class BeepCounter : Pinned {
public:
    BeepCounter()
    {
        previous_ = platform::InstallBeepHandler([this] { ++beeps; });
    }
    ~BeepCounter() { platform::InstallBeepHandler(previous_); }
    int beeps = 0;

private:
    platform::BeepHandler previous_;
};

class EndRecorder : Pinned {
public:
    EndRecorder()
    {
        previous_ = platform::InstallEndHandler([this](int code) { exitCodes.append(code); });
    }
    ~EndRecorder() { platform::InstallEndHandler(previous_); }
    QList<int> exitCodes;

private:
    platform::EndHandler previous_;
};

// A fresh, empty application directory for the life of the object.
class TemporaryAppDir : Pinned {
public:
    TemporaryAppDir() { platform::SetApplicationDirectory(dir_.path()); }
    ~TemporaryAppDir() { platform::SetApplicationDirectory(QString()); }

    QString path() const { return dir_.path(); }
    QString filePath(const QString& name) const { return QDir(dir_.path()).filePath(name); }

    QByteArray read(const QString& name) const
    {
        QFile file(filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    bool write(const QString& name, const QByteArray& bytes) const
    {
        QFile file(filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

private:
    QTemporaryDir dir_;
};

}  // namespace quarrix::testkit
