// The base of the progress windows: a small fixed-size window that exists at
// most once for the whole run and outlives its unloading.
#pragma once

#include <QString>
#include <QWidget>

namespace quarrix {

class FormWindow : public QWidget {
    Q_OBJECT
public:
    // Loads the window when it is not loaded (Form_Load runs, and the window
    // is centred on its owner, or on the screen without one), then shows it
    // modeless, kept above `owner` while both are shown. The owner does not
    // own the window: it may go away before the window does.
    void Show(QWidget* owner = nullptr);

    // Hides the window and marks it unloaded; its members keep their values
    // and the next Show loads it again. (QWidget::hide() hides it and keeps it
    // loaded.)
    void Unload();

    bool isLoaded() const { return loaded_; }

protected:
    // A window with `caption` and a client area of the given size in twips.
    FormWindow(const QString& caption, int widthTwips, int heightTwips);

    // Runs at every load; nothing by default.
    virtual void Form_Load() {}

private:
    void setOwner(QWidget* owner);
    void centreOn(const QWidget* owner);

    bool loaded_ = false;
};

}  // namespace quarrix
