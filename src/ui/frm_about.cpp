#include "frm_about.h"

#include "platform/message_box.h"
#include "platform/paths.h"
#include "ui/fmod_module.h"

#include <QFile>
#include <QMouseEvent>
#include <QPainter>

namespace quarrix {

namespace {

constexpr qint32 kMixRate = 44100;
constexpr qint32 kSoftwareChannels = 32;

void showSoundError(const QString& what)
{
    platform::MsgBox(what + QStringLiteral("\r\n") + FMod::GetSoundErrorText(fsound::FSOUND_GetError()));
}

}  // namespace

frmAbout::frmAbout() : FormWindow(QStringLiteral("About Quarrix"), 6570, 8070)
{
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
}

frmAbout& frmAbout::instance()
{
    static frmAbout* window = new frmAbout();  // lives for the rest of the run
    return *window;
}

void frmAbout::Form_Load()
{
    // A missing or unreadable picture leaves the window black.
    picture_ = QPixmap(platform::AssetPath(u"BH.jpg"));
    update();

    // Without a sound device (a remote or headless desktop) the window opens
    // silent, as it does without its music file.
    if (!fsound::FSOUND_Init(kMixRate, kSoftwareChannels, 0)) {
        showSoundError(QStringLiteral("An error occured initializing fmod"));
        return;
    }
    StopStream();
    closeStream();
    const QByteArray music = QFile::encodeName(platform::AssetPath(kMusicFile));
    stream1 = fsound::FSOUND_Stream_OpenFile(music.constData(), fsound::FSOUND_2D, 0);
    if (stream1 == 0)
        showSoundError(QStringLiteral("Error while opening file"));
    PlayStream();
}

void frmAbout::Form_Unload()
{
    StopStream();
    closeStream();
    fsound::FSOUND_Close();
    ReturnToMain();
}

void frmAbout::Form_Click()
{
    ReturnToMain();
}

void frmAbout::ReturnToMain()
{
    ShowMainWindowHere();
    Unload();
}

void frmAbout::PlayStream()
{
    if (channel1 != 0)
        StopStream();
    if (stream1 != 0)
        channel1 = fsound::FSOUND_Stream_Play(fsound::FSOUND_FREE, stream1);
}

void frmAbout::StopStream()
{
    if (channel1 != 0) {
        fsound::FSOUND_Stream_Stop(stream1);
        channel1 = 0;
    }
}

void frmAbout::closeStream()
{
    if (stream1 != 0) {
        fsound::FSOUND_Stream_Close(stream1);
        stream1 = 0;
    }
}

void frmAbout::paintEvent(QPaintEvent*)
{
    // Drawn as it is, from the top-left corner; the black background shows
    // around a smaller picture.
    if (!picture_.isNull())
        QPainter(this).drawPixmap(0, 0, picture_);
}

void frmAbout::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    Form_Click();
}

}  // namespace quarrix
