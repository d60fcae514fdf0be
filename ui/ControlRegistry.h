// ControlRegistry: what a renderer knows about the controls of one dialog
// window, by id: their kind, whether the presenter made them at run time, and
// whether they are native controls of their own or cells of a readout group
// (one custom-drawn widget for many labels and value boxes), beside the
// renderer's own payload `Native` (its widget or window handle). It decides
// the rules every renderer shares: the first of repeated ids answers, an id
// is made at most once, and which run-time controls become readout cells.
#pragma once

#include "ui/DialogView.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// Whether a control made at run time is drawn as a cell of its group box's
// readout panel rather than as a control of its own: labels and value boxes
// placed in a group box.
inline bool BecomesReadoutCell(const RuntimeControl& control, ControlKind parentKind)
{
    return (control.kind == ControlKind::Static || control.kind == ControlKind::Edit)
        && parentKind == ControlKind::GroupBox;
}

// DialogView::GetControlText's answer: at most size - 1 bytes of `text`
// into `buffer`, terminated; the length copied.
inline int CopyControlText(std::string_view text, char* buffer, int size)
{
    if (buffer == nullptr || size <= 0) {
        return 0;
    }
    const int length = static_cast<int>(std::min(text.size(), static_cast<std::size_t>(size - 1)));
    std::memcpy(buffer, text.data(), static_cast<std::size_t>(length));
    buffer[length] = '\0';
    return length;
}

template <typename Native> class ControlRegistry {
public:
    static constexpr int kNoGroup = -1;

    struct Entry {
        std::int32_t id = kNoControlId;
        ControlKind kind = ControlKind::Static;
        bool runtime = false; // made with CreateControl
        int group = kNoGroup; // the readout group that draws it; kNoGroup: a native control
        int cell = -1; // its index in that group
        Native native {};

        bool IsCell() const { return group != kNoGroup; }
    };

    // A control of the template as a native control of its own; null (and
    // nothing registered) for an unaddressed text or an id taken before:
    // the first of repeated ids answers, as a dialog's own lookup does.
    Entry* AddTemplateControl(const ControlTemplate& control, Native native = {})
    {
        return Add(control.id, control.kind, false, kNoGroup, -1, std::move(native));
    }
    // A control of the template drawn as cell `cell` of readout group `group`.
    Entry* AddTemplateCell(const ControlTemplate& control, int group, int cell, Native native = {})
    {
        return Add(control.id, control.kind, false, group, cell, std::move(native));
    }
    // A control made at run time, as a native control or as a cell; null when its id is taken.
    Entry* AddRuntimeControl(const RuntimeControl& control, Native native = {})
    {
        return Add(control.id, control.kind, true, kNoGroup, -1, std::move(native));
    }
    Entry* AddRuntimeCell(const RuntimeControl& control, int group, int cell, Native native = {})
    {
        return Add(control.id, control.kind, true, group, cell, std::move(native));
    }

    Entry* Find(std::int32_t id)
    {
        const auto found = m_entries.find(id);
        return found != m_entries.end() ? &found->second : nullptr;
    }
    const Entry* Find(std::int32_t id) const
    {
        const auto found = m_entries.find(id);
        return found != m_entries.end() ? &found->second : nullptr;
    }
    // The control, only when it is of `kind` (a call meant for a combo box
    // does nothing to a button of that id).
    Entry* Find(std::int32_t id, ControlKind kind)
    {
        Entry* entry = Find(id);
        return entry != nullptr && entry->kind == kind ? entry : nullptr;
    }
    const Entry* Find(std::int32_t id, ControlKind kind) const
    {
        const Entry* entry = Find(id);
        return entry != nullptr && entry->kind == kind ? entry : nullptr;
    }
    bool Has(std::int32_t id) const { return m_entries.count(id) != 0; }
    std::size_t Size() const { return m_entries.size(); }

    // Readout groups, numbered from 0 in the order they are made; `owner` is
    // the group box whose cells a group draws (kNoControlId for a group that
    // belongs to no box). A renderer keeps its widgets in the same order.
    int AddGroup(std::int32_t owner)
    {
        m_groupOwners.push_back(owner);
        return static_cast<int>(m_groupOwners.size()) - 1;
    }
    // The group of group box `owner`, or kNoGroup.
    int GroupOf(std::int32_t owner) const
    {
        if (owner == kNoControlId) {
            return kNoGroup;
        }
        for (std::size_t i = 0; i < m_groupOwners.size(); ++i) {
            if (m_groupOwners[i] == owner) {
                return static_cast<int>(i);
            }
        }
        return kNoGroup;
    }
    int GroupCount() const { return static_cast<int>(m_groupOwners.size()); }
    std::int32_t GroupOwner(int group) const { return m_groupOwners[static_cast<std::size_t>(group)]; }

    // The readout group that is to draw `control` as one of its cells, or
    // kNoGroup when it is a control of its own (BecomesReadoutCell says so, or
    // its group box has no group and `makeGroup(groupBox)` could not make
    // one). `makeGroup` makes the renderer's widget for the group box's first
    // cell and answers whether it did; only then is the group added, as the
    // next in order.
    template <typename MakeGroup> int CellGroupFor(const RuntimeControl& control, MakeGroup&& makeGroup)
    {
        const Entry* box = Find(control.parentGroupId);
        if (box == nullptr || box->IsCell() || !BecomesReadoutCell(control, box->kind)) {
            return kNoGroup;
        }
        const int group = GroupOf(box->id);
        if (group != kNoGroup) {
            return group;
        }
        return makeGroup(*box) ? AddGroup(box->id) : kNoGroup;
    }

    // Every control, in no particular order.
    auto begin() { return m_entries.begin(); }
    auto end() { return m_entries.end(); }
    auto begin() const { return m_entries.begin(); }
    auto end() const { return m_entries.end(); }

private:
    Entry* Add(std::int32_t id, ControlKind kind, bool runtime, int group, int cell, Native native)
    {
        if (id == kNoControlId) {
            return nullptr;
        }
        const auto [placed, added] = m_entries.try_emplace(id);
        if (!added) {
            return nullptr;
        }
        Entry& entry = placed->second;
        entry.id = id;
        entry.kind = kind;
        entry.runtime = runtime;
        entry.group = group;
        entry.cell = cell;
        entry.native = std::move(native);
        return &entry;
    }

    // Node-based: an entry stays where it is while others are added.
    std::unordered_map<std::int32_t, Entry> m_entries;
    std::vector<std::int32_t> m_groupOwners;
};
