#include "list_box.h"

namespace quarrix {

ListBox::ListBox(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
}

void ListBox::Clear()
{
    clear();
}

void ListBox::AddItem(const QString& item)
{
    addItem(item);
}

void ListBox::AddItem(qint16 item)
{
    addItem(QString::number(item));
}

QString ListBox::List(int Index) const
{
    const QListWidgetItem* row = item(Index);
    return row ? row->text() : QString();
}

int ListBox::ListCount() const
{
    return count();
}

void ListBox::RemoveItem(int Index)
{
    delete takeItem(Index);
}

}  // namespace quarrix
