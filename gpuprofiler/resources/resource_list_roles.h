#pragma once
// Item data roles shared by the buffer list and the texture list.

#include <Qt>

enum ResourceListRole : int
{
    // Every cell keeps its sort value here: numbers as numbers, texts as texts. The proxies
    // sort by this role so that numeric columns do not sort by their formatted text.
    SortRole = Qt::UserRole + 1,
    // Column 0 of each row: the bits the kind filters test.
    TypeBitsRole = Qt::UserRole + 2,
};
