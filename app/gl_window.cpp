// Window and GL context (placeholder).
