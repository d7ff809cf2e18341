#include "announcement/assets/gif_writer.h"

#include <QList>
#include <cstdint>
#include <unordered_map>

namespace vidmora::announcement::assets {
namespace {

constexpr int kMinCodeSize = 8; // 256-entry palette: every index is one root code
constexpr int kClearCode = 1 << kMinCodeSize;
constexpr int kEndCode = kClearCode + 1;
constexpr int kMaxCode = 4095; // 12-bit codes at most

// LSB-first bit packer that cuts its output into sub-blocks of at most 255 bytes.
class CodeStream {
public:
    explicit CodeStream(QByteArray &out) : m_out(out) {}

    void put(int code, int width)
    {
        m_bits |= std::uint32_t(code) << m_count;
        m_count += width;
        while (m_count >= 8) {
            pushByte(std::uint8_t(m_bits & 0xFF));
            m_bits >>= 8;
            m_count -= 8;
        }
    }

    void finish()
    {
        if (m_count > 0)
            pushByte(std::uint8_t(m_bits & 0xFF));
        m_bits = 0;
        m_count = 0;
        flushBlock();
        m_out.append(char(0)); // block terminator
    }

private:
    void pushByte(std::uint8_t b)
    {
        m_block.append(char(b));
        if (m_block.size() == 255)
            flushBlock();
    }
    void flushBlock()
    {
        if (m_block.isEmpty())
            return;
        m_out.append(char(m_block.size()));
        m_out.append(m_block);
        m_block.clear();
    }

    QByteArray &m_out;
    QByteArray m_block;
    std::uint32_t m_bits = 0;
    int m_count = 0;
};

void putLe16(QByteArray &out, int v)
{
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

} // namespace

QByteArray encodeGif(const QImage &picture)
{
    if (picture.isNull())
        return {};
    QImage indexed = picture.format() == QImage::Format_Indexed8
        ? picture
        : picture.convertToFormat(QImage::Format_RGB32).convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
    QList<QRgb> palette = indexed.colorTable();
    palette.resize(256, qRgb(0, 0, 0));

    const int w = indexed.width();
    const int h = indexed.height();
    QByteArray out;
    out.append("GIF89a");
    putLe16(out, w);
    putLe16(out, h);
    out.append(char(0xF7)); // global colour table, 8 bits a channel, 256 entries
    out.append(char(0));    // background colour index
    out.append(char(0));    // square pixels
    for (QRgb c : palette) {
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }
    out.append(',');
    putLe16(out, 0);
    putLe16(out, 0);
    putLe16(out, w);
    putLe16(out, h);
    out.append(char(0)); // no local table, not interlaced
    out.append(char(kMinCodeSize));

    CodeStream codes(out);
    std::unordered_map<std::uint32_t, int> table;
    int width = kMinCodeSize + 1;
    int next = kEndCode + 1;
    // The decoder defines each entry one code later than the encoder, and
    // widens its codes once the entry it has just defined needs more bits; the
    // encoder widens at the same point. A full table starts over.
    auto define = [&](std::uint32_t key) {
        table.emplace(key, next);
        if (next >= (1 << width) && width < 12)
            ++width;
        if (++next > kMaxCode) {
            codes.put(kClearCode, width);
            table.clear();
            width = kMinCodeSize + 1;
            next = kEndCode + 1;
        }
    };

    codes.put(kClearCode, width);
    int prefix = -1;
    for (int y = 0; y < h; ++y) {
        const uchar *line = indexed.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            const int k = line[x];
            if (prefix < 0) {
                prefix = k;
                continue;
            }
            const std::uint32_t key = (std::uint32_t(prefix) << 8) | std::uint32_t(k);
            const auto found = table.find(key);
            if (found != table.end()) {
                prefix = found->second;
                continue;
            }
            codes.put(prefix, width);
            define(key);
            prefix = k;
        }
    }
    if (prefix >= 0) {
        codes.put(prefix, width);
        // The decoder defines an entry after this code too; keep the width in step.
        if (next >= (1 << width) && width < 12 && next <= kMaxCode)
            ++width;
    }
    codes.put(kEndCode, width);
    codes.finish();
    out.append(';');
    return out;
}

} // namespace vidmora::announcement::assets
