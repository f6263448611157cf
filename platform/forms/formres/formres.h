// Form descriptions: text and binary forms, the component reader and writer, collections, and
// forms made from their descriptions.
#pragma once

#include "platform/forms/formres/collection.h"
#include "platform/forms/formres/formcreate.h"
#include "platform/forms/formres/formstream.h"
#include "platform/forms/formres/objecttext.h"
#include "platform/forms/formres/parser.h"
