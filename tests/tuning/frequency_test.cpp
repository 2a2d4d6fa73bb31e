// Tests are added here.
