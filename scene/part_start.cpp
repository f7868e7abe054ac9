// The show scene (placeholder).
