#pragma once

// The host's property bag: an instance's stored properties as key/value pairs.
// Keys are matched without regard to case; values are typed (16/32-bit
// integers, Booleans, strings, fonts, pictures). A window keeps its controls'
// bags as design data: built in code from a list of pairs, or stored as bytes.

#include "platform/gui/std_objects.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <utility>

namespace vidmora::platform {

class PropertyBag {
public:
    using Entry = std::pair<QString, QVariant>;

    PropertyBag() = default;
    PropertyBag(std::initializer_list<Entry> entries);

    // The stored value, or defaultValue when the key is absent.
    QVariant ReadProperty(const QString &name, const QVariant &defaultValue = {}) const;
    // Stores the value (replacing a key of any case); with a default given, a
    // value equal to it is left out, as the host does.
    void WriteProperty(const QString &name, const QVariant &value, const QVariant &defaultValue = {});

    bool contains(const QString &name) const;
    const QList<Entry> &entries() const { return m_entries; }
    qsizetype size() const { return m_entries.size(); }
    void clear() { m_entries.clear(); }

    // Typed values, with the runtime's conversions ("12" is 12, True is -1);
    // nothing when the value cannot be converted (a type mismatch or overflow).
    static QVariant int16(std::int16_t v) { return QVariant::fromValue<qint16>(v); }
    static QVariant int32(std::int32_t v) { return QVariant::fromValue<qint32>(v); }
    static QVariant font(const StdFont &f) { return QVariant::fromValue(f); }
    static QVariant picture(const PicturePtr &p) { return QVariant::fromValue(p); }
    static std::optional<std::int32_t> toLong(const QVariant &v);
    static std::optional<std::int16_t> toInteger(const QVariant &v);
    static std::optional<bool> toBoolean(const QVariant &v);
    static std::optional<QString> toString(const QVariant &v);
    static std::optional<StdFont> toFont(const QVariant &v);
    static std::optional<PicturePtr> toPicture(const QVariant &v);

private:
    qsizetype find(const QString &name) const;
    QList<Entry> m_entries;
};

} // namespace vidmora::platform
