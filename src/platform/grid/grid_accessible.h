#pragma once

#include <QtGlobal>

class QAccessibleInterface;
class QObject;
class QString;

namespace veltrane {

class GridControl;

// What a screen reader finds in a grid: a table whose children are its cells, header row and header
// column included (child index = row * (columns + 1) + column, in grid coordinates, the numbering
// Qt's item views use for their focus events), with the texts the grid draws, the check box state of
// check-box columns, the selected rows and the current cell. Each cell can be pressed as a click
// would, and a check-box cell toggled.

// Answers the grid's accessible interface for Qt's accessibility factory; null for other objects.
QAccessibleInterface *gridAccessibleFactory(const QString &className, QObject *object);

// Tells assistive technology which rows were selected or deselected since the last call (once it
// has asked for the grid; nothing is computed before).
void announceGridSelection(GridControl *grid);
// Tells assistive technology that rows first.. first + count - 1 arrived (moved in from elsewhere).
void announceGridRowsArrived(GridControl *grid, qint32 first, qint32 count);

} // namespace veltrane
