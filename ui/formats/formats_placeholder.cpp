// replaced by the format sources
