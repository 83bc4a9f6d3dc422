// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/core/ParameterImage.h"

#include "config/core/ReceiverSetup.h"

#include <algorithm>

using namespace ParameterImage;

namespace {

uint8_t byteOf(QChar c)
{
    // The receiver only knows ASCII; anything else goes out as 0.
    return c.unicode() < 0x80 ? static_cast<uint8_t>(c.unicode()) : 0;
}

} // namespace

uint8_t EncodeIdCharacter(const QString &character)
{
    if (character.size() != 1)
        return 0;
    const char16_t c = character.at(0).unicode();
    if (c >= u'0' && c <= u'9')
        return static_cast<uint8_t>(c - u'0');
    if (c >= u'A' && c <= u'Z')
        return static_cast<uint8_t>(10 + (c - u'A'));
    if (c == u'/')
        return 36;
    return 0;
}

void PackParameterBlock(const ReceiverConfig &config, ParameterImageBytes &image)
{
    std::fill(image.begin(), image.begin() + 32, uint8_t(0));

    // Timer codes: a code the receiver does not know goes out as 0.
    for (const ConfigKey &key : configKeys()) {
        if (key.type == ConfigKey::Type::Integer && key.imageByte >= 1 && key.imageByte <= 5) {
            const int16_t v = config.*key.intField;
            const bool valid = key.imageByte <= 3 ? (v >= 1 && v <= 6) : (v >= 0 && v <= 4);
            if (valid)
                image[key.imageByte] = static_cast<uint8_t>(v);
        } else if (key.type == ConfigKey::Type::Boolean && key.imageByte >= 7 && key.imageByte <= 15) {
            if (*key.boolIn(config))
                image[key.imageByte] |= static_cast<uint8_t>(key.imageBit);
        }
    }

    // Spoken station identification: length, then one six-bit code per
    // character. One that does not fit is sent as length 0 (no
    // identification) rather than cut short.
    const QString &id = config.UserStationID;
    if (id.size() <= MaxStationIdLength) {
        image[StationIdLengthByte] = static_cast<uint8_t>(id.size());
        for (int k = 0; k < id.size(); ++k)
            image[StationIdLengthByte + 1 + k] = EncodeIdCharacter(id.mid(k, 1));
    }
}

void PackCoverageLists(const ReceiverSetup &setup, ParameterImageBytes &image)
{
    std::fill(image.begin() + CountyListFirst, image.begin() + EventListLast + 1, uint8_t(0));

    // County items: the six-digit FIP code of every selected line and "-".
    // The county window allows 24; the region holds 25 items and no more,
    // so lines beyond what fits are left out instead of running into the
    // event list.
    int p = CountyListFirst;
    const int fipCount = std::min<int>(setup.FipEntries.size(), ReceiverSetup::FipEntryCount);
    for (int i = 0; i < fipCount; ++i) {
        const QString &entry = setup.FipEntries.at(i);
        if (!entry.startsWith(QLatin1String("X ")))
            continue;
        if (p + CountyItemSize - 1 > CountyListLast)
            break;
        // A line cut short before the end of its code leaves 0 bytes in the
        // item, which keeps every item seven bytes long.
        for (int k = 0; k < 6; ++k) {
            const int at = 2 + k;
            image[p + k] = at < entry.size() ? byteOf(entry.at(at)) : 0;
        }
        image[p + 6] = '-';
        p += CountyItemSize;
    }

    // Event items: a three-letter code and "-", packed without gaps. The
    // receiver reads the list as four-byte items, so a slot that holds
    // anything but three characters (possible only through a hand-edited
    // data file) is left out: sending it would shift every later code.
    int q = EventListFirst;
    const int slotCount = std::min<int>(setup.EventSelection.size(), ReceiverSetup::EventSlotCount);
    for (int i = 0; i < slotCount; ++i) {
        const QString code = setup.EventSelection.at(i).trimmed();
        if (code.size() != 3)
            continue;
        if (q + EventItemSize - 1 > EventListLast)
            break;
        for (int k = 0; k < 3; ++k)
            image[q + k] = byteOf(code.at(k));
        image[q + 3] = '-';
        q += EventItemSize;
    }
}

uint8_t ImageChecksum(const ParameterImageBytes &image)
{
    unsigned sum = 0;
    for (int i = 0; i < ImageLength; ++i)
        sum += image[i];
    return static_cast<uint8_t>(sum & 0xFF);
}
