#pragma once

#include <juce_data_structures/juce_data_structures.h>

/** A typed, validated view of one property of a juce::ValueTree.

    The cached value is always the constrained form of the property (or the default while the
    property is absent). Writing constrains first and touches the tree only when something
    changes; changes made to the tree by anyone else reach the cache through the tree's
    notifications. onChange runs after every change of the cached value.
*/
template <typename Type>
class ConstrainedCachedValue : private juce::ValueTree::Listener
{
public:
    ConstrainedCachedValue (juce::ValueTree& treeToUse, const juce::Identifier& propertyToUse, juce::UndoManager* undo,
                            const Type& defaultToUse, std::function<Type (Type)> constrainerToUse)
        : tree (treeToUse), property (propertyToUse), undoManager (undo),
          constrainer (std::move (constrainerToUse)), defaultValue (defaultToUse)
    {
        jassert (constrainer != nullptr);
        cachedValue = readFromTree();
        tree.addListener (this);
    }

    ~ConstrainedCachedValue() override
    {
        tree.removeListener (this);
    }

    const Type& get() const noexcept          { return cachedValue; }
    operator Type() const noexcept             { return cachedValue; }
    const Type& getDefault() const noexcept   { return defaultValue; }

    void setValue (const Type& value, juce::UndoManager* undo)
    {
        const auto c = constrainer (value);

        if (c == cachedValue && tree.hasProperty (property))
            return;

        cachedValue = c;
        tree.setProperty (property, c, undo);

        if (onChange != nullptr)
            onChange();
    }

    std::function<void()> onChange;

private:
    Type readFromTree() const
    {
        return tree.hasProperty (property) ? constrainer (static_cast<Type> (tree.getProperty (property)))
                                           : defaultValue;
    }

    void valueTreePropertyChanged (juce::ValueTree& changed, const juce::Identifier& id) override
    {
        if (changed != tree || id != property)
            return;

        const auto v = readFromTree();

        if (v != cachedValue)
        {
            cachedValue = v;

            if (onChange != nullptr)
                onChange();
        }
    }

    juce::ValueTree tree;
    juce::Identifier property;
    juce::UndoManager* undoManager;
    std::function<Type (Type)> constrainer;
    Type defaultValue;
    Type cachedValue {};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ConstrainedCachedValue)
};
