#include "platform/dictionary.h"

namespace vidmora::platform {

bool Dictionary::Add(const QString &key, const QVariant &item)
{
    if (m_index.contains(key))
        return false;
    m_index.insert(key, m_keys.size());
    m_keys.append(key);
    m_items.append(item);
    return true;
}

QVariant Dictionary::Item(const QString &key)
{
    const auto it = m_index.constFind(key);
    if (it != m_index.constEnd())
        return m_items.at(*it);
    Add(key, QVariant());
    return QVariant();
}

QVariantList Dictionary::Items() const
{
    return m_items;
}

void Dictionary::RemoveAll()
{
    m_keys.clear();
    m_items.clear();
    m_index.clear();
}

} // namespace vidmora::platform
