// The texts a combo box offers, in order: what the GUI tests compare.
#pragma once

#include <QComboBox>
#include <QStringList>

namespace tuv::test {

inline QStringList combo_items(const QComboBox& combo) {
    QStringList items;
    for (int i = 0; i < combo.count(); ++i) items << combo.itemText(i);
    return items;
}

}  // namespace tuv::test
