#pragma once
// tessel's commands register in the command table both programs share.

#include "core/CommandTable.h"
