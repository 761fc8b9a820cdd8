#include "zylmimedata.h"

#include "zyltreeview.h"

ZylMimeData::ZylMimeData(ZylTreeView* source)
    : m_formats{deviceFormat()}
    , m_source(source)
{
}
