#include "PresetFormat.h"

namespace
{
    const juce::Identifier nameKey { "name" };
}

const std::array<PresetFormat::Key, 11>& PresetFormat::valueKeys()
{
    static const std::array<Key, 11> keys {{
        { "vol", 63 }, { "ton", 63 }, { "sus", 63 }, { "tonBypass", 0 }, { "tonLattice", 0 },
        { "adcL", 63 }, { "adcR", 63 }, { "adcLink", 1 }, { "dacL", 63 }, { "dacR", 63 }, { "dacLink", 1 }
    }};
    return keys;
}

PresetFormat::PresetFormat (const juce::var& json, const juce::String& name)
    : object (new juce::DynamicObject())
{
    auto* source = json.getDynamicObject();

    if (name.isNotEmpty())
        object->setProperty (nameKey, name);
    else if (source != nullptr && source->hasProperty (nameKey))
        object->setProperty (nameKey, source->getProperty (nameKey));
    else
        object->setProperty (nameKey, "None");

    for (auto& key : valueKeys())
    {
        const juce::Identifier id (key.name);

        if (source != nullptr && source->hasProperty (id))
            object->setProperty (id, source->getProperty (id));
        else
            object->setProperty (id, key.defaultValue);
    }
}

PresetFormat::PresetFormat (const PRESET& record, const juce::String& name)
    : object (new juce::DynamicObject())
{
    const auto& b = record.bytes;
    const int switches = b[PRESET::switchesOffset];

    object->setProperty (nameKey, name.isNotEmpty() ? name : record.getName());
    object->setProperty ("vol", (int) b[PRESET::volOffset]);
    object->setProperty ("ton", (int) b[PRESET::tonOffset]);
    object->setProperty ("sus", (int) b[PRESET::susOffset]);
    object->setProperty ("tonBypass", switches & 0x01);
    object->setProperty ("tonLattice", (switches >> 4) & 0x01);
    object->setProperty ("adcL", (int) b[PRESET::adcOffset]);
    object->setProperty ("adcR", (int) b[PRESET::adcOffset]);
    object->setProperty ("adcLink", 1);
    object->setProperty ("dacL", 63);
    object->setProperty ("dacR", 63);
    object->setProperty ("dacLink", 1);
}

PresetFormat::~PresetFormat() = default;

PRESET PresetFormat::toPreset (int number) const
{
    PRESET record;
    auto& b = record.bytes;

    b[0] = (juce::uint8) number;
    record.setName (getName());
    b[PRESET::volOffset] = (juce::uint8) getIntValue ("vol");
    b[PRESET::tonOffset] = (juce::uint8) getIntValue ("ton");
    b[PRESET::susOffset] = (juce::uint8) getIntValue ("sus");
    b[PRESET::adcOffset] = (juce::uint8) getIntValue ("adcL");
    b[PRESET::switchesOffset] = (juce::uint8) ((getIntValue ("tonBypass") != 0 ? 0x01 : 0)
                                             | (getIntValue ("tonLattice") != 0 ? 0x10 : 0));

    for (int i = 0; i < PRESET::size - 1; ++i)
        b[i] &= 0x7f;

    b[PRESET::size - 1] = 0;
    return record;
}

void PresetFormat::setProperties (const juce::var& source)
{
    auto* from = source.getDynamicObject();

    if (from == nullptr)
        return;

    for (auto& property : object->getProperties())
        if (from->hasProperty (property.name))
            object->setProperty (property.name, from->getProperty (property.name).clone());
}

juce::String PresetFormat::toJsonString (const juce::String& text)
{
    juce::String out ("\"");
    const auto hex4 = [] (juce::uint32 v) { return "\\u" + juce::String::toHexString ((int) v).paddedLeft ('0', 4); };

    for (auto p = text.getCharPointer(); ! p.isEmpty();)
    {
        const auto c = (juce::uint32) p.getAndAdvance();

        if (c == '"')                       out << "\\\"";
        else if (c == '\\')                out << "\\\\";
        else if (c >= 0x20 && c < 0x7F)     out << juce::String::charToString ((juce::juce_wchar) c);
        else if (c < 0x10000)               out << hex4 (c);
        else
        {
            const auto v = c - 0x10000;
            out << hex4 (0xD800 + (v >> 10)) << hex4 (0xDC00 + (v & 0x3FF));
        }
    }

    return out + "\"";
}

juce::String PresetFormat::toFileText() const
{
    juce::StringArray lines;
    lines.add ("  \"name\": " + toJsonString (getName()));

    for (auto& key : valueKeys())
        lines.add ("  \"" + juce::String (key.name) + "\": " + juce::String (getIntValue (key.name)));

    return "{\r\n" + lines.joinIntoString (",\r\n") + "\r\n}";
}

bool PresetFormat::writeToFile (const juce::File& file) const
{
    if (file.isDirectory())
        return false;

    juce::TemporaryFile temporary (file, juce::TemporaryFile::useHiddenFile);

    const auto text = toFileText();
    const auto numBytes = text.getNumBytesAsUTF8();

    {
        juce::FileOutputStream out (temporary.getFile(), 16384);

        if (! out.openedOk() || ! out.write (text.toRawUTF8(), numBytes))
            return false;

        out.flush();

        if (out.getStatus().failed())
            return false;
    }

    // A short write (a full disk, a size limit) is not always reported by the stream: check what
    // landed before it replaces anything.
    if (temporary.getFile().getSize() != (juce::int64) numBytes)
        return false;

    return temporary.overwriteTargetFileWithTemporary();
}

juce::var PresetFormat::parseJson (const juce::String& text)
{
    // JSON writes characters beyond U+FFFF as two \u escapes (a surrogate pair), which the
    // framework's reader would take as two broken characters: join such pairs first.
    juce::String joined;
    joined.preallocateBytes (text.getNumBytesAsUTF8());

    const auto hexAt = [&text] (int index)
    {
        if (index + 6 > text.length() || text[index] != '\\' || text[index + 1] != 'u')
            return -1;

        int value = 0;

        for (int i = index + 2; i < index + 6; ++i)
        {
            const int digit = juce::CharacterFunctions::getHexDigitValue (text[i]);

            if (digit < 0)
                return -1;

            value = value * 16 + digit;
        }

        return value;
    };

    int backslashes = 0;

    for (int i = 0; i < text.length(); ++i)
    {
        const auto c = text[i];

        if (c == '\\' && backslashes % 2 == 0)
        {
            const int high = hexAt (i);
            const int low = high >= 0xD800 && high <= 0xDBFF ? hexAt (i + 6) : -1;

            if (low >= 0xDC00 && low <= 0xDFFF)
            {
                joined << juce::String::charToString ((juce::juce_wchar) (0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00)));
                i += 11;
                backslashes = 0;
                continue;
            }
        }

        backslashes = c == '\\' ? backslashes + 1 : 0;
        joined << juce::String::charToString (c);
    }

    return juce::JSON::parse (joined);
}

juce::String PresetFormat::toSafeFileName (const juce::String& presetName)
{
    juce::String safe;

    for (auto p = presetName.getCharPointer(); ! p.isEmpty();)
    {
        const auto c = p.getAndAdvance();
        const bool reserved = c < 0x20 || c == 0x7F || juce::String ("/\\:*?\"<>|").containsChar (c);
        safe << juce::String::charToString (reserved ? (juce::juce_wchar) '_' : c);
    }

    safe = safe.trimCharactersAtStart (". ").trimEnd().substring (0, 100).trimEnd();
    return safe.isEmpty() ? juce::String ("Untitled") : safe;
}

juce::String PresetFormat::getName() const
{
    return object->getProperty (nameKey).toString();
}

juce::var PresetFormat::getValue (const juce::Identifier& key) const
{
    return object->getProperty (key);
}

int PresetFormat::getIntValue (const juce::Identifier& key) const
{
    return (int) object->getProperty (key);
}

int PresetFormatElementComparator::compareElements (const PresetFormat* a, const PresetFormat* b)
{
    const auto na = a->getName().toLowerCase();
    const auto nb = b->getName().toLowerCase();
    const int c = na.compare (nb);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
