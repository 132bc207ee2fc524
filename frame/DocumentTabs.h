#pragma once
// The frame's open documents as the panes of the bottom strip see them.
#include <memory>
#include <vector>

class MDIChild;

class DocumentTabs
{
public:
    virtual ~DocumentTabs() = default;
    // Null when no document is open.
    virtual MDIChild* CurrentTab() const = 0;
    // In tab order.
    virtual const std::vector<std::shared_ptr<MDIChild>>& Documents() const = 0;
    // Makes the document the current tab; nothing when the strip does not hold it.
    virtual void ShowDocument(const MDIChild* document) = 0;
};
