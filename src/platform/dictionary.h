#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

namespace vidmora::platform {

// The scripting runtime's dictionary in its default compare mode: text keys
// compared exactly (letter case counts), items kept in insertion order.
class Dictionary final {
public:
    // Adds `key` with `item`; fails (returns false, changes nothing) when the key is present.
    bool Add(const QString &key, const QVariant &item);
    // The item of `key`; an absent key is added with an empty item, and empty is returned.
    QVariant Item(const QString &key);
    bool Exists(const QString &key) const { return m_index.contains(key); }
    // The items in the order their keys were added.
    QVariantList Items() const;
    int Count() const { return static_cast<int>(m_keys.size()); }
    void RemoveAll();

private:
    QStringList m_keys;
    QVariantList m_items;
    QHash<QString, qsizetype> m_index;
};

} // namespace vidmora::platform
