#pragma once
// COM registration rows (Class, Extension, ProgId, Shortcut) with their ProgId and Icon rows.
#include "views/tree/RowElementNode.h"

class ClassNode : public RowElementNode
{
public:
    using RowElementNode::RowElementNode;
    int GetIconId() override { return 1010; }
    // ProgId rows that refer to this class, Icon rows that it refers to.
    bool IsRelatedRow(MsiTable& table, RowIterator row) override;
    // The default groupings, then "Icon" and "ProgId".
    void AddChildGroupings() override;
    void AddReferencingRows(const RowsByTable& rows) override;
    void AddReferencedRows(const RowsByTable& rows) override;
};

class ExtensionNode : public ClassNode
{
public:
    using ClassNode::ClassNode;
    int GetIconId() override { return 1016; }
    // ProgId and Icon rows that this extension refers to.
    bool IsRelatedRow(MsiTable& table, RowIterator row) override;
    void AddReferencingRows(const RowsByTable&) override {}
};

class ProgIdNode : public RowElementNode
{
public:
    using RowElementNode::RowElementNode;
    int GetIconId() override { return 1001; }
    // Icon rows that this row refers to.
    bool IsRelatedRow(MsiTable& table, RowIterator row) override;
    // The default groupings, then "Icon".
    void AddChildGroupings() override;
    void AddReferencedRows(const RowsByTable& rows) override;
};

class ShortcutNode : public ProgIdNode
{
public:
    using ProgIdNode::ProgIdNode;
    int GetIconId() override { return 1019; }
    // As a class: "Icon" and "ProgId".
    void AddChildGroupings() override;
};
