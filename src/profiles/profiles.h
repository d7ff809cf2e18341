#pragma once

#include "converter/converter_settings.h"
#include "profiles/not_supported_title.h"

#include <QString>
#include <QStringList>

#include <span>

namespace vidmora {
class AVC;
}

namespace vidmora::profiles {

// One output format: its name in the format box, the extension of the file it
// makes and the converter settings it sets. An empty text is left alone (it
// keeps what the driver holds); a switch is either set to true or left alone.
// The file names are never part of a profile.
struct ConversionProfile {
    const char *name;
    const char *extension;
    ConverterSettings settings;
};

// The 27 profiles, in the order in which names are compared.
std::span<const ConversionProfile> profileTable();

// The profile whose name equals `formatType` exactly (case and blanks count), or null.
const ConversionProfile *findProfile(const QString &formatType);

// The 27 entries of the main window's format box, in their order; the first
// is the default. Six of them have no profile.
QStringList formatListEntries();

// The box shown when no profile has the chosen name: exclamation icon, OK button,
// title kNotSupportedTitle.
QString notSupportedText(const QString &formatType); // "Error: " + name + " is not compatible."

// The output path: `srcPath` with its final ".flv" extension (any case)
// replaced by `extension`; a path without that extension gets it appended, so
// that the output never overwrites the input.
QString outputPath(const QString &srcPath, const QString &extension);

// Sets the settings that `profile` names on `avc`, and only those.
void applyProfile(AVC &avc, const ConversionProfile &profile);

struct ConvertResult {
    bool matched = false; // false: the caller clears IsConverting and shows the NOT Supported box
    QString extension;    // the matched profile's extension: the caller's OutputExt
};

// The core of the window's ConvertFLV: finds the profile for `FormatType`; on a
// match sets its settings, SourceFile and DestFile on `AVC1` and calls
// ConvertMedia(true) (a refusal arrives as AVC1's ErrorEvent before this
// returns). Touches nothing when no profile matches.
ConvertResult ConvertFLV(AVC &AVC1, const QString &FormatType, const QString &SrcPath);

} // namespace vidmora::profiles
