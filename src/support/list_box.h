// A list control with the operations the program's lists are written
// against: Clear, AddItem, List, ListCount, RemoveItem. Easy_Array transfers
// its items into it.
#pragma once

#include <QListWidget>
#include <QString>

namespace quarrix {

class ListBox : public QListWidget {
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent = nullptr);

    void Clear();
    void AddItem(const QString& item);
    void AddItem(qint16 item);
    // The text of row `Index`; empty for a row that does not exist.
    QString List(int Index) const;
    int ListCount() const;
    // Removes row `Index`; a row that does not exist is left alone.
    void RemoveItem(int Index);
};

}  // namespace quarrix
