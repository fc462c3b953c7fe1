// frmAbout, the About window: the picture BH.jpg as its background while the
// music plays through the sound library. It takes the main window's place; a
// click anywhere on it, or closing it, brings the main window back where the
// About window was. The sound library runs only while the window is loaded.
#pragma once

#include "ui/form_window.h"

#include <QPixmap>

namespace quarrix {

class frmAbout : public FormWindow {
    Q_OBJECT
public:
    frmAbout();

    // The window of the run, created on first use.
    static frmAbout& instance();

    // The music file, shipped with the program.
    static constexpr char16_t kMusicFile[] = u"About.mp3";

    // The open music stream, 0 when none; the channel it plays on, 0 when it
    // does not play.
    qint32 stream1 = 0;
    qint32 channel1 = 0;

    void Form_Click();
    void ReturnToMain();
    void PlayStream();
    void StopStream();

protected:
    void Form_Load() override;
    void Form_Unload() override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void closeStream();

    QPixmap picture_;
};

}  // namespace quarrix
