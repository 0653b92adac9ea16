#include "app/offer_box.h"

OfferAnswer ShowOfferBox(void*, const char*, bool) { return OfferAnswer::kNo; }
