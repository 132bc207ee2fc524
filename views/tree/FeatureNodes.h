#pragma once
// The Features tree: features with their components (through FeatureComponents) and sub-features, and
// the groupings that keep them current.
#include "views/tree/RowElementNode.h"
#include "views/tree/RowGrouping.h"

class FeatureNode : public RowElementNode
{
public:
    using RowElementNode::RowElementNode;
    int GetIconId() override { return 1009; }
    // A Component row is related when a FeatureComponents row links it to this feature.
    bool IsRelatedRow(MsiTable& table, RowIterator row) override;
    // "Components" (when the database has Component and FeatureComponents), then "Feature".
    void AddChildGroupings() override;
    // The components that the FeatureComponents rows among them name go under "Components".
    void AddReferencingRows(const RowsByTable& rows) override;
    std::wstring FeatureKey() const;
};

class FeatureComponentsNode : public RowElementNode
{
public:
    using RowElementNode::RowElementNode;
    int GetIconId() override { return 1009; }
    bool IsRelatedRow(MsiTable& table, RowIterator row) override;
    void AddChildGroupings() override;
    void AddReferencedRows(const RowsByTable& rows) override;
};

// Only the features without a parent: the top of the Features tree.
class FeaturesRowGrouping : public RowGroupingIcon<1009>
{
public:
    using RowGroupingIcon<1009>::RowGroupingIcon;
    std::wstring GetName() override { return L"Features"; }
    bool AcceptRow(MsiTable& table, RowIterator row) override;
};

// The components of a feature: follows the Component table and the FeatureComponents links.
class ComponentsInFeatureRowGrouping : public RowGroupingIcon<1008>
{
public:
    ComponentsInFeatureRowGrouping(const std::wstring& name, RowElementNode* owner, bool accept_all);
    std::wstring GetName() override { return L"Components"; }
    void OnTableEvent(MsiTable& table, MsiFile::TableEvents code, RowIterator row) override;
    // Brings the component nodes in line with the links; `leaving` is a row being deleted.
    void Synchronize(RowIterator leaving, MsiTable* leaving_table);
};
