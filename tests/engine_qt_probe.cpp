// Compiled only by the engine_has_no_qt test, which expects this to fail.
#include <QtCore/QString>
QString engineQtProbe() { return QString(); }
