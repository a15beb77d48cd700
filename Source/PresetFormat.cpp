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
