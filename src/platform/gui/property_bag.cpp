#include "platform/gui/property_bag.h"

#include <cmath>
#include <limits>

namespace vidmora::platform {

namespace {

bool isPicture(const QVariant &v) { return v.metaType() == QMetaType::fromType<PicturePtr>(); }
bool isFont(const QVariant &v) { return v.metaType() == QMetaType::fromType<StdFont>(); }

std::optional<double> parseNumber(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return 0.0;
    switch (v.metaType().id()) {
    case QMetaType::Bool: return v.toBool() ? -1.0 : 0.0;
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Float:
    case QMetaType::Double: return v.toDouble();
    case QMetaType::QString: {
        const QString s = v.toString().trimmed();
        if (s.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return -1.0;
        if (s.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return 0.0;
        bool ok = false;
        double d = s.toDouble(&ok);
        if (!ok && s.startsWith(QLatin1String("&H"), Qt::CaseInsensitive)) {
            qlonglong h = s.mid(2).toLongLong(&ok, 16);
            if (ok && h > 0x7FFFFFFFLL && h <= 0xFFFFFFFFLL)
                h -= 0x100000000LL; // eight hex digits are a 32-bit value: "&H8000000F" is a system colour
            d = static_cast<double>(h);
        }
        if (!ok)
            return std::nullopt;
        return d;
    }
    default: return std::nullopt;
    }
}

// The value as a number, or nothing when it is none. "nan" and "inf" parse as
// text but are no number the runtime can hold: their conversion fails.
std::optional<double> toNumber(const QVariant &v)
{
    const auto d = parseNumber(v);
    if (!d || !std::isfinite(*d))
        return std::nullopt;
    return d;
}

} // namespace

PropertyBag::PropertyBag(std::initializer_list<Entry> entries)
{
    for (const Entry &e : entries)
        WriteProperty(e.first, e.second);
}

qsizetype PropertyBag::find(const QString &name) const
{
    for (qsizetype i = 0; i < m_entries.size(); ++i)
        if (m_entries.at(i).first.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool PropertyBag::contains(const QString &name) const { return find(name) >= 0; }

QVariant PropertyBag::ReadProperty(const QString &name, const QVariant &defaultValue) const
{
    const qsizetype i = find(name);
    return i < 0 ? defaultValue : m_entries.at(i).second;
}

void PropertyBag::WriteProperty(const QString &name, const QVariant &value, const QVariant &defaultValue)
{
    const qsizetype i = find(name);
    if (defaultValue.isValid() && defaultValue == value) {
        if (i >= 0)
            m_entries.removeAt(i);
        return;
    }
    if (i >= 0)
        m_entries[i].second = value;
    else
        m_entries.append({name, value});
}

std::optional<std::int32_t> PropertyBag::toLong(const QVariant &v)
{
    const auto d = toNumber(v);
    if (!d)
        return std::nullopt;
    const double r = std::nearbyint(*d); // halves to even, as the runtime rounds
    if (r < std::numeric_limits<std::int32_t>::min() || r > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(r);
}

std::optional<std::int16_t> PropertyBag::toInteger(const QVariant &v)
{
    const auto l = toLong(v);
    if (!l || *l < -32768 || *l > 32767)
        return std::nullopt;
    return static_cast<std::int16_t>(*l);
}

std::optional<bool> PropertyBag::toBoolean(const QVariant &v)
{
    const auto d = toNumber(v);
    if (!d)
        return std::nullopt;
    return *d != 0.0;
}

std::optional<QString> PropertyBag::toString(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return QString();
    if (v.metaType().id() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (isFont(v) || isPicture(v))
        return std::nullopt;
    if (v.canConvert<QString>())
        return v.toString();
    return std::nullopt;
}

std::optional<StdFont> PropertyBag::toFont(const QVariant &v)
{
    if (isFont(v))
        return v.value<StdFont>();
    return std::nullopt;
}

std::optional<PicturePtr> PropertyBag::toPicture(const QVariant &v)
{
    if (!v.isValid())
        return PicturePtr{};
    if (isPicture(v))
        return v.value<PicturePtr>();
    return std::nullopt;
}

} // namespace vidmora::platform
