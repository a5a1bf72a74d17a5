#include "s3m/S3mWriter.h"
