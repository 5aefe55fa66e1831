#include "exchange/BmpFormat.h"

void TBMPFormat::Import(TStream& stream, TBitmapFiler& filer) { filer.Bitmap().LoadFromStream(stream); }

void TBMPFormat::Export(TStream& stream, TBitmapFiler& filer) { filer.Bitmap().SaveToStream(stream); }
