#include "zintara/Zintara.h"

Zintara::Zintara() = default;
Zintara::~Zintara() = default;
