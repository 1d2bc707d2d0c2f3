#include "CIOParent.h"

CIOParent::~CIOParent() = default;
