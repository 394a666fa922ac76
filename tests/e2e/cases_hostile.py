"""Hostile-input cases."""
